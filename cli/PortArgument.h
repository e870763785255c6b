#pragma once
#include <string>

// What --port named: a port number (COMn or n), a device path, or a network
// port (tcp://HOST:PORT, rfc2217://HOST:PORT, kept in device).
struct PortArgument {
    bool ok = false;
    int comPort = -1;      // n of COMn when a number was given
    std::string device;    // the path when a device was given
    std::string error;     // why the text was refused
};

// "COM3", "com3", "3" and \\.\COM3 give port 3; anything with a '/' is a device path
// (/dev/ttyUSB0, /dev/pts/4, ./board), checked as a network port when it has
// a scheme. Anything else is refused.
PortArgument ParsePortArgument(const std::string& text);
