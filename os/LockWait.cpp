#include "LockWait.h"

#include "SteadyClock.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

constexpr int kRetryMs = 20;

} // namespace

bool WaitForLock(const LockAttempt& attempt, const std::atomic<bool>* interrupted, int waitMs, std::string& error)
{
    const int64_t end = SteadyMs() + waitMs;
    for (;;) {
        switch (attempt.tryLock(error)) {
        case LockAttempt::Result::Taken:
            return true;
        case LockAttempt::Result::Failed:
            return false;
        case LockAttempt::Result::HeldByAnother:
            break;
        }
        if (interrupted && *interrupted) {
            error = "interrupted while waiting for another process to let go of its lock";
            return false;
        }
        if (SteadyMs() >= end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
    }
    const std::string holder = attempt.holder ? attempt.holder() : std::string();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", waitMs / 1000.0);
    error = "another process" + (holder.empty() ? std::string() : " (" + holder + ")") +
            " holds a lock on it, and still did after " + seconds + " s";
    return false;
}
