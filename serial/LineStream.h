#pragma once
#include <cstddef>
#include <cstdint>

// A byte stream to a serial line on another machine: a TCP socket, or the
// data channel of a Telnet session on top of one.
class ILineStream {
public:
    virtual ~ILineStream() = default;
    // Sends count bytes, waiting at most timeoutMs for the connection to
    // take them (0: only what it takes at once). The number of bytes sent,
    // fewer than count when the time ran out; -1 once the connection is gone.
    virtual int SendSome(const uint8_t* data, size_t count, int timeoutMs) = 0;
    // Waits up to timeoutMs (0: not at all) for data, then returns what came,
    // at most count bytes (possibly 0); -1 once the far end has closed the
    // connection or it has failed.
    virtual int Receive(uint8_t* buffer, size_t count, int timeoutMs) = 0;
    // Throws away what has arrived and not been read; where the far end can,
    // it also discards the line's own unread and unsent bytes. Takes at most
    // about kDrainBoundMs however fast the far end sends. false when the
    // connection is gone.
    virtual bool Purge() = 0;

    // All count bytes within timeoutMs.
    bool Send(const uint8_t* data, size_t count, int timeoutMs)
    {
        return SendSome(data, count, timeoutMs) == static_cast<int>(count);
    }

    // One tick of the engine's clock: a purge never holds the line longer,
    // so a peer that keeps the connection full cannot stall a run.
    static constexpr int kDrainBoundMs = 20;
};

// Reads and drops what stream has waiting, for at most boundMs. false when
// the connection is gone.
bool DrainStream(ILineStream& stream, int boundMs);
