#include "LineSpeed.h"

// termios2 lives in the kernel's own header, which cannot share a file with
// <termios.h>: this file uses nothing else.
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetLineSpeed(int fd, int baud)
{
    if (baud <= 0)
        return false;
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baud);
    tio.c_ospeed = static_cast<speed_t>(baud);
    if (::ioctl(fd, TCSETS2, &tio) != 0 || ::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    const double taken = static_cast<double>(tio.c_ospeed);
    return taken >= baud * 0.98 && taken <= baud * 1.02;
}
