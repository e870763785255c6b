#include "LineSpeed.h"

#include "ErrnoText.h"

#include <cerrno>
#include <termios.h>

namespace {

struct Rate {
    int baud;
    speed_t code;
};

// The rates termios can name; others are refused rather than approximated.
constexpr Rate kRates[] = {
    {50, B50},       {75, B75},       {110, B110},       {134, B134},       {150, B150},       {200, B200},
    {300, B300},     {600, B600},     {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},   {19200, B19200}, {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},
};

const Rate* Named(int baud)
{
    for (const Rate& rate : kRates)
        if (rate.baud == baud)
            return &rate;
    return nullptr;
}

} // namespace

PortResult SetLineSpeed(int fd, int baud)
{
    const Rate* rate = Named(baud);
    if (!rate)
        return PortResult{PortStatus::Refused, "not a rate this system can name"};
    termios old{};
    if (::tcgetattr(fd, &old) != 0)
        return PortResult{PortStatus::Other, ErrnoText(errno)};
    termios tio = old;
    PortResult result;
    if (::cfsetispeed(&tio, rate->code) != 0 || ::cfsetospeed(&tio, rate->code) != 0 ||
        ::tcsetattr(fd, TCSANOW, &tio) != 0)
        result = PortResult{PortStatus::Refused, ErrnoText(errno)};
    // tcsetattr succeeds when any part of the change was taken: read back.
    else if (::tcgetattr(fd, &tio) != 0 || ::cfgetospeed(&tio) != rate->code)
        result = PortResult{PortStatus::Refused, "the driver did not take the rate"};
    if (!result.Ok())
        (void)::tcsetattr(fd, TCSANOW, &old);
    return result;
}

bool CanMakeLineSpeed(int, int baud)
{
    return Named(baud) != nullptr;
}
