#include "LineSpeed.h"

#include "ErrnoText.h"

// termios2 lives in the kernel's own header, which cannot share a file with
// <termios.h>: this file uses nothing else.
#include <asm/termbits.h>
#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {

bool WithinTolerance(double made, int baud)
{
    return made >= baud * 0.98 && made <= baud * 1.02;
}

} // namespace

PortResult SetLineSpeed(int fd, int baud)
{
    if (baud <= 0)
        return PortResult{PortStatus::Refused, "no such rate"};
    termios2 old{};
    if (::ioctl(fd, TCGETS2, &old) != 0)
        return PortResult{PortStatus::Other, ErrnoText(errno)};
    termios2 tio = old;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baud);
    tio.c_ospeed = static_cast<speed_t>(baud);
    PortResult result;
    if (::ioctl(fd, TCSETS2, &tio) != 0 || ::ioctl(fd, TCGETS2, &tio) != 0)
        result = PortResult{PortStatus::Refused, ErrnoText(errno)};
    else if (!WithinTolerance(static_cast<double>(tio.c_ospeed), baud))
        result = PortResult{PortStatus::Refused,
                            "the driver runs at " + std::to_string(tio.c_ospeed) + " baud instead"};
    // A driver that took the request in part runs at some third rate: back
    // to the one that worked.
    if (!result.Ok())
        (void)::ioctl(fd, TCSETS2, &old);
    return result;
}

bool CanMakeLineSpeed(int fd, int baud)
{
    if (baud <= 0)
        return false;
    // A UART that names its clock makes that clock divided by a whole
    // number; pseudo-terminals and most USB adapters name none.
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0 || serial.baud_base <= 0)
        return true;
    const int divider = (serial.baud_base + baud / 2) / baud;
    return divider >= 1 && WithinTolerance(static_cast<double>(serial.baud_base) / divider, baud);
}
