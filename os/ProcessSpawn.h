#pragma once
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// Starting another program (POSIX): what the benchmark and the end-to-end
// tests run, fernbow-cli and fernbow-sim, and the chip model's gpsim.
struct SpawnOptions {
    // Each stream: a descriptor of ours to give the child (>= 0), else a file
    // the child opens (standard input read-only; the outputs created or
    // truncated), else ours as it is. Give pipes O_CLOEXEC so that only the
    // child's copy stays open in it.
    int stdoutFd = -1;
    int stderrFd = -1;
    std::string stdinPath;
    std::string stdoutPath;
    std::string stderrPath;
    // More descriptors for the child: {ours, its number there}, numbers
    // above 2. Any order works, even where one's number is another's own.
    std::vector<std::pair<int, int>> descriptors;
    // "NAME=value" entries that replace (or add to) our environment.
    std::vector<std::string> environment;
    // Signals blocked in the child from its first instruction (it may
    // unblock them), and signals it takes with their default action even
    // where we ignore them.
    std::vector<int> blockedSignals;
    std::vector<int> defaultSignals;
};

// Starts argv[0] (a path; PATH is not searched) with the arguments;
// returns its process id, or -1 with errno set when it could not be started.
// The caller waits for it.
pid_t SpawnProcess(const std::vector<std::string>& argv, const SpawnOptions& options = {});
