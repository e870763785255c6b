#include "LineSpeed.h"

#include "ErrnoText.h"

// termios2 lives in the kernel's own header, which cannot share a file with
// <termios.h>: this file uses nothing else.
#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

PortResult SetLineSpeed(int fd, int baud)
{
    if (baud <= 0)
        return PortResult{PortStatus::Refused, "no such rate"};
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return PortResult{PortStatus::Other, ErrnoText(errno)};
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baud);
    tio.c_ospeed = static_cast<speed_t>(baud);
    if (::ioctl(fd, TCSETS2, &tio) != 0 || ::ioctl(fd, TCGETS2, &tio) != 0)
        return PortResult{PortStatus::Refused, ErrnoText(errno)};
    const double taken = static_cast<double>(tio.c_ospeed);
    if (taken < baud * 0.98 || taken > baud * 1.02)
        return PortResult{PortStatus::Refused, "the driver runs at " + std::to_string(tio.c_ospeed) + " baud instead"};
    return PortResult{};
}
