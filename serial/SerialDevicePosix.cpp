#include "SerialDevicePosix.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

UniqueFd OpenSerialDeviceExclusive(const std::string& device, int& osError)
{
    osError = 0;
    if (device.empty()) {
        osError = ENOENT;
        return UniqueFd();
    }
    UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        osError = errno;
        return UniqueFd();
    }
    if (!::isatty(fd.Get())) {
        osError = ENOTTY;
        return UniqueFd();
    }
    // Lock first: a process of ours that already holds the port must make us
    // fail here, before we touch the line it is using.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        osError = (errno == EWOULDBLOCK) ? EBUSY : errno;
        return UniqueFd();
    }
    // Refused on some drivers; the lock above still keeps us exclusive.
    (void)::ioctl(fd.Get(), TIOCEXCL);
    return fd;
}
