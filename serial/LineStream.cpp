#include "LineStream.h"

#include <chrono>

bool DrainStream(ILineStream& stream, int boundMs)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    uint8_t scrap[512];
    do {
        const int got = stream.Receive(scrap, sizeof scrap, 0);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
    } while (Clock::now() < end);
    // Still coming after the bound: the rest is left to the reads, which
    // have bounds of their own.
    return true;
}
