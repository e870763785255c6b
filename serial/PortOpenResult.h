#pragma once
#include <string>

// Why a serial device could not be opened, in the same words on every
// platform: errno and GetLastError() numbers overlap (5 is EIO on one and
// "access denied" on the other), so they never cross the serial interface.
enum class PortOpenStatus {
    Opened,        // no error
    Missing,       // no such device (unplugged, never there, no number)
    Busy,          // another program holds it
    AccessDenied,  // this user may not open it
    NotSerial,     // it opened, but it is not a serial device
    Other,         // anything else; osText says what
};

struct PortOpenResult {
    PortOpenStatus status = PortOpenStatus::Opened;
    std::string osText;  // the OS's own words for the error; empty when there is none

    bool Ok() const { return status == PortOpenStatus::Opened; }
};
