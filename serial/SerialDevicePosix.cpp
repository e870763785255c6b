#include "SerialDevicePosix.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

CUniqueFd::~CUniqueFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

CUniqueFd& CUniqueFd::operator=(CUniqueFd&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.Release();
    }
    return *this;
}

int CUniqueFd::Release()
{
    int fd = m_fd;
    m_fd = -1;
    return fd;
}

CUniqueFd OpenSerialDeviceExclusive(const std::string& device, int& osError)
{
    osError = 0;
    if (device.empty()) {
        osError = ENOENT;
        return CUniqueFd();
    }
    CUniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        osError = errno;
        return CUniqueFd();
    }
    if (!::isatty(fd.Get())) {
        osError = ENOTTY;
        return CUniqueFd();
    }
    // Lock first: a process of ours that already holds the port must make us
    // fail here, before we touch the line it is using.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        osError = (errno == EWOULDBLOCK) ? EBUSY : errno;
        return CUniqueFd();
    }
    // Refused on some drivers; the lock above still keeps us exclusive.
    (void)::ioctl(fd.Get(), TIOCEXCL);
    return fd;
}
