#pragma once
#include "PortResult.h"

#include <cstddef>
#include <cstdint>

// What one send or receive moved, and how it ended: Ok (count may still be
// short of what was asked, or 0, when the time ran out), or Lost with the
// OS's words once the connection has gone.
struct StreamIo {
    int count = 0;
    PortResult result;

    bool Ok() const { return result.Ok(); }
};

// A byte stream to a serial line on another machine: a TCP socket, or the
// data channel of a Telnet session on top of one.
class ILineStream {
public:
    virtual ~ILineStream() = default;
    // Sends count bytes, waiting at most timeoutMs for the connection to
    // take them (0: only what it takes at once). The number of bytes sent,
    // fewer than count when the time ran out; Lost once the connection is gone.
    virtual StreamIo SendSome(const uint8_t* data, size_t count, int timeoutMs) = 0;
    // Waits up to timeoutMs (0: not at all) for data, then returns what came,
    // at most count bytes (possibly 0); Lost once the far end has closed the
    // connection or it has failed.
    virtual StreamIo Receive(uint8_t* buffer, size_t count, int timeoutMs) = 0;
    // Throws away what has arrived and not been read; where the far end can,
    // it also discards the line's own unread and unsent bytes. Takes at most
    // about kDrainBoundMs however fast the far end sends. Lost when the
    // connection is gone.
    virtual PortResult Purge() = 0;

    // All count bytes within timeoutMs; Timeout when the connection took
    // only part of them.
    PortResult Send(const uint8_t* data, size_t count, int timeoutMs);

    // One tick of the engine's clock: a purge never holds the line longer,
    // so a peer that keeps the connection full cannot stall a run.
    static constexpr int kDrainBoundMs = 20;
};

// Reads and drops what stream has waiting, for at most boundMs. Lost when
// the connection is gone.
PortResult DrainStream(ILineStream& stream, int boundMs);
