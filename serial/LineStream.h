#pragma once
#include <cstddef>
#include <cstdint>

// A byte stream to a serial line on another machine: a TCP socket, or the
// data channel of a Telnet session on top of one.
class ILineStream {
public:
    virtual ~ILineStream() = default;
    // Sends all count bytes within timeoutMs. false when the time ran out or
    // the connection is gone.
    virtual bool Send(const uint8_t* data, size_t count, int timeoutMs) = 0;
    // Waits up to timeoutMs (0: not at all) for data, then returns what came,
    // at most count bytes (possibly 0); -1 once the far end has closed the
    // connection or it has failed.
    virtual int Receive(uint8_t* buffer, size_t count, int timeoutMs) = 0;
    // Throws away what has arrived and not been read; where the far end can,
    // it also discards the line's own unread and unsent bytes. false when the
    // connection is gone.
    virtual bool Purge() = 0;
};
