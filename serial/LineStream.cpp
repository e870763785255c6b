#include "LineStream.h"

#include <chrono>

PortResult ILineStream::Send(const uint8_t* data, size_t count, int timeoutMs)
{
    const StreamIo sent = SendSome(data, count, timeoutMs);
    if (!sent.Ok())
        return sent.result;
    if (sent.count != static_cast<int>(count))
        return PortResult{PortStatus::Timeout, "the connection did not take the data within " +
                                                   std::to_string(timeoutMs) + " ms"};
    return PortResult{};
}

PortResult DrainStream(ILineStream& stream, int boundMs)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    uint8_t scrap[512];
    do {
        const StreamIo got = stream.Receive(scrap, sizeof scrap, 0);
        if (!got.Ok() || got.count == 0)
            return got.result;
    } while (Clock::now() < end);
    // Still coming after the bound: the rest is left to the reads, which
    // have bounds of their own.
    return PortResult{};
}
