#pragma once

// Sets the rate of the open serial device fd to baud bits per second, both
// directions, leaving every other setting as it is. true when the driver
// runs at that rate afterwards (within 2 %, the tolerance of a UART); false,
// with the rate unchanged or refused, otherwise. One implementation per
// system: Linux takes any rate its driver can make (termios2), other POSIX
// systems the rates termios names.
bool SetLineSpeed(int fd, int baud);
