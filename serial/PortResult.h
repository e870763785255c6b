#pragma once
#include <string>

// What came of opening a port, or of reading, writing or setting its line,
// in the same words on every platform: errno and GetLastError() numbers
// overlap (5 is EIO on one and "access denied" on the other), so they never
// cross the serial interface. A portable reason, and the OS's own words
// beside it, as libserialport gives a return code and its last-error text.
enum class PortStatus {
    Ok,            // no error
    Missing,       // no such device (unplugged, never there, no number)
    Busy,          // another program holds it
    AccessDenied,  // this user may not open it
    NotSerial,     // it opened, but it is not a serial device
    Timeout,       // the line or the far end did not answer in time
    Refused,       // the system or the port server would not take it (a rate, a connection)
    Unsupported,   // this line cannot do it (no modem lines on a pseudo-terminal or a raw network port)
    Lost,          // the line has gone away (unplugged, hung up, the connection closed)
    Other,         // anything else; osText says what
};

struct PortResult {
    PortStatus status = PortStatus::Ok;
    std::string osText;  // the OS's (or the port server's) own words for the error; empty when there is none

    bool Ok() const { return status == PortStatus::Ok; }
};
