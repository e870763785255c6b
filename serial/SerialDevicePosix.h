#pragma once
#include "PortOpenResult.h"
#include <string>

// Owns one file descriptor; closes it when it goes out of scope unless it
// has been released.
class CUniqueFd {
public:
    CUniqueFd() = default;
    explicit CUniqueFd(int fd) : m_fd(fd) {}
    ~CUniqueFd();
    CUniqueFd(CUniqueFd&& other) noexcept : m_fd(other.Release()) {}
    CUniqueFd& operator=(CUniqueFd&& other) noexcept;
    CUniqueFd(const CUniqueFd&) = delete;
    CUniqueFd& operator=(const CUniqueFd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    int Release();

private:
    int m_fd = -1;
};

// Opens a serial device for reading and writing, exclusively: TIOCEXCL keeps
// other users out, and flock() keeps out a second opener that TIOCEXCL lets
// through (root). The descriptor is non-blocking; reads and writes wait with
// poll(). Nothing is configured. On failure the result is invalid and
// result says why (NotSerial when the path is not a terminal).
CUniqueFd OpenSerialDeviceExclusive(const std::string& device, PortOpenResult& result);
