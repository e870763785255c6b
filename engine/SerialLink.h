#pragma once
#include <cstdint>

// The serial line as the engine and the front ends see it. CSerialPort is the
// real one; tests script their own.
class ISerialLink {
public:
    virtual ~ISerialLink() = default;

    // 1 when the line is open afterwards (also when it already was), 0 when not.
    virtual int Open() = 0;
    // Closes the line if it is open. Nonzero when it was open and the system
    // closed it cleanly; 0 when it was not open or the close failed.
    // Afterwards the line is always closed.
    virtual int Close() = 0;
    // Reads up to count bytes into buffer. Returns as soon as count bytes are
    // there, otherwise after about 5 ms with what has arrived (possibly 0).
    // Returns 0 without touching buffer when the line is closed.
    virtual int Read(uint8_t* buffer, uint32_t count) = 0;
    // Discards everything unread and unsent in both directions, then writes
    // count bytes, giving up after about 100 ms. Nonzero on success; a closed
    // line writes nothing and returns 0.
    virtual int Write(const uint8_t* buffer, uint32_t count) = 0;
    virtual bool IsOpen() const = 0;
    // Milliseconds the line's answers take beyond a local port's (a network
    // round trip): the search waits that much longer for the wake-up's answer.
    virtual int AnswerSlackMs() const { return 0; }
    // Waits until everything written has left the port, then sets the line
    // to baud (8N1); true when the port now runs at baud. A port that cannot
    // switch keeps its old rate.
    virtual bool SetRate(int baud)
    {
        (void)baud;
        return false;
    }
    // Whether this port can make baud at all.
    virtual bool CanSetRate(int baud) const
    {
        (void)baud;
        return false;
    }
};
