#pragma once
#include <atomic>
#include <cstdint>
#include <string>

// A regular file that lines are appended to whole: every Append is a single
// write at the end of the file, so several processes can share one log
// without tearing each other's lines. One file per platform implements it.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // How long Open waits for a lock that another process holds.
    static constexpr int kLockWaitMs = 5000;

    // Opens path for appending, creating it when missing, and writes header
    // first when the file is empty. That is decided under a lock on the
    // file: of several processes that start one new log at once, exactly one
    // writes the header. A lock held by another process is waited for up to
    // lockWaitMs, and no longer once *interrupted is set. false with the
    // reason in error: the system's words, "not a regular file", or who
    // holds the lock (the process's number and name where the system tells).
    bool Open(const std::string& path, const std::string& header, std::string& error,
              const std::atomic<bool>* interrupted = nullptr, int lockWaitMs = kLockWaitMs);
    // false with the reason when the whole of text could not be written.
    bool Append(const std::string& text, std::string& error);

private:
    intptr_t m_handle = -1;
};
