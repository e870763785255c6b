#pragma once
#include <unistd.h>
#include <utility>

// Owns one POSIX file descriptor and closes it when it goes out of scope,
// unless it has been released.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    // Gives up ownership: the caller closes the descriptor.
    int Release() { return std::exchange(m_fd, -1); }
    // Closes what is held (if anything) and takes fd. false when that close
    // failed: a write may not have reached the file.
    bool Reset(int fd = -1)
    {
        const int old = std::exchange(m_fd, fd);
        return old < 0 || ::close(old) == 0;
    }

private:
    int m_fd = -1;
};
