#pragma once
#include "PortResult.h"

// Sets the rate of the open serial device fd to baud bits per second, both
// directions, leaving every other setting as it is and discarding nothing.
// Ok when the driver runs at that rate afterwards (within 2 %, the tolerance
// of a UART); Refused when it cannot make the rate, Other with the system's
// words when it fails. Unless Ok, the line is left at its old rate. One
// implementation per system: Linux takes any rate its driver can make
// (termios2), other POSIX systems the rates termios names.
PortResult SetLineSpeed(int fd, int baud);

// Whether the device fd can run at baud at all, without touching it: on
// Linux any rate, unless the UART tells its clock and no whole divider of it
// comes within 2 %; elsewhere the rates termios names.
bool CanMakeLineSpeed(int fd, int baud);
