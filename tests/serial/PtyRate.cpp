// termios2 cannot share a file with <termios.h>.
#include "PtyPair.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

int OutputRateOf(int fd)
{
    termios2 tio{};
    return ::ioctl(fd, TCGETS2, &tio) == 0 ? static_cast<int>(tio.c_ospeed) : -1;
}
