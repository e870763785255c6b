#include "LineRate.h"

// termios2 carries the rate as a number; <termios.h> cannot be included
// beside it, hence a file of its own.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

long LineRate(int fd)
{
    struct termios2 t;
    if (::ioctl(fd, TCGETS2, &t) != 0) return 0;
    return static_cast<long>(t.c_ospeed);
}
