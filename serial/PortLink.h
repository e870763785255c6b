#pragma once
#include "SerialLink.h"
#include "PortResult.h"
#include <string>

// The modem lines a board may have wired to its reset pin.
enum class ModemLine { Dtr, Rts };

// A line the front ends open by name: the serial port, or a port server on
// the network. Beyond what the engine uses, it says where it goes and why
// it did not open, and it does the few things a monitor and a reset need.
class IPortLink : public ISerialLink {
public:
    // The device path or network address the last Open tried; empty when the
    // name stood for no device.
    virtual const std::string& DevicePath() const = 0;
    // The result of the last Open, and after it of the last read, write or
    // line control that failed (Read and Write give only counts and 1/0, as
    // the engine wants them): Ok() after a successful Open until one fails.
    virtual const PortResult& LastError() const = 0;
    // Moves line away from its resting level (DTR raised, RTS lowered) for
    // about ms milliseconds, then back. Unsupported when the line cannot be
    // moved here (a pseudo-terminal, a raw network port); nothing changed then.
    virtual PortResult PulseModemLine(ModemLine line, int ms) = 0;
    // Sets the line's rate in bits per second (8N1 stays). Refused (or
    // Unsupported, Timeout) when the system or the port server does not take
    // it; the rate is unchanged then.
    virtual PortResult SetLineRate(int baud) = 0;
    // Writes count bytes as they come, without discarding anything first
    // (the monitor's keystrokes must not throw away the board's output).
    virtual PortResult WriteThrough(const uint8_t* buffer, uint32_t count) = 0;
    // The one notice of a lost line: true once a read or a write has found
    // the line gone (unplugged, hung up, the connection closed) since the
    // last Open. IsOpen() is false from then on, and the next Open closes
    // what is left and opens the line anew.
    virtual bool LineLost() const = 0;
};
