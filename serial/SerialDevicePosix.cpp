#include "SerialDevicePosix.h"
#include "ErrnoText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

PortResult ResultFromErrno(int error)
{
    PortResult result;
    result.osText = ErrnoText(error);
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        result.status = PortStatus::Missing;
        break;
    case EBUSY:
    case EWOULDBLOCK:
        result.status = PortStatus::Busy;
        break;
    case EACCES:
    case EPERM:
        result.status = PortStatus::AccessDenied;
        break;
    case ENOTTY:
        result.status = PortStatus::NotSerial;
        break;
    case EIO:
        result.status = PortStatus::Other;
        result.osText = "does not respond (is there serial hardware behind it?)";
        break;
    default:
        result.status = PortStatus::Other;
        break;
    }
    return result;
}

} // namespace

UniqueFd OpenSerialDeviceExclusive(const std::string& device, PortResult& result)
{
    result = PortResult();
    if (device.empty()) {
        result = ResultFromErrno(ENOENT);
        return UniqueFd();
    }
    UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        result = ResultFromErrno(errno);
        return UniqueFd();
    }
    if (!::isatty(fd.Get())) {
        result = ResultFromErrno(ENOTTY);
        return UniqueFd();
    }
    // Lock first: a process of ours that already holds the port must make us
    // fail here, before we touch the line it is using.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        result = ResultFromErrno(errno == EWOULDBLOCK ? EBUSY : errno);
        return UniqueFd();
    }
    // Refused on some drivers; the lock above still keeps us exclusive.
    (void)::ioctl(fd.Get(), TIOCEXCL);
    return fd;
}
