#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

// Runs work on a thread of its own and waits for it at most timeoutMs: for
// a system call with no time-out of its own (a host-name lookup). true with
// result set when it finished in time; false when the time ran out, and the
// thread then finishes by itself and its result is dropped (so Result must
// free what it holds when destroyed).
template <typename Result> bool RunWithin(std::function<Result()> work, int timeoutMs, Result& result)
{
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        Result result;
    };
    const auto shared = std::make_shared<Shared>();
    try {
        std::thread([shared, work] {
            Result r = work();
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->result = std::move(r);
            shared->finished = true;
            shared->done.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: unbounded, but still done.
        result = work();
        return true;
    }
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (!shared->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return shared->finished; }))
        return false;
    result = std::move(shared->result);
    return true;
}
