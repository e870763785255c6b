#pragma once
#include <atomic>
#include <functional>
#include <string>

// The bounded, interruptible wait for a file lock that another process may
// hold; each platform supplies the attempt and, where it can tell, who holds
// the lock.
struct LockAttempt {
    enum class Result { Taken, HeldByAnother, Failed };
    // One try without waiting; Failed with the system's reason in error.
    std::function<Result(std::string& error)> tryLock;
    // Who holds the lock ("pid 1234, flock"), or empty when not known.
    std::function<std::string()> holder;
};

// Tries until the lock is taken, waitMs have passed, or *interrupted is set.
// false with the reason in error: the system's, an interruption, or that
// another process (named where known) still holds the lock.
bool WaitForLock(const LockAttempt& attempt, const std::atomic<bool>* interrupted, int waitMs, std::string& error);
