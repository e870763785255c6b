#include "LinePty.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

int OpenLinePty(std::string& slavePath, int& slaveFd, std::string& error)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname(master) == nullptr) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0) ::close(master);
        return -1;
    }
    slavePath = ptsname(master);
    slaveFd = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd < 0) {
        error = slavePath + ": " + std::strerror(errno);
        ::close(master);
        return -1;
    }
    // No echo and no translation: otherwise the chip's own bytes would come
    // back to it before a host has set the line up.
    termios tio;
    if (tcgetattr(slaveFd, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B19200);
        cfsetospeed(&tio, B19200);
        tio.c_cflag |= CLOCAL | CREAD;
        tcsetattr(slaveFd, TCSANOW, &tio);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    return master;
}
