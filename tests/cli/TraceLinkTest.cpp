#include "CapturedFile.h"
#include "TraceLink.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Answers every read with the bytes it holds, once.
class CannedLink : public ISerialLink {
public:
    std::string pending;
    int writeResult = 1;
    bool open = false;
    std::string written;

    int Open() override { return open = true, 1; }
    int Close() override { return open ? (open = false, 1) : 0; }
    int Read(uint8_t* buffer, uint32_t count) override
    {
        uint32_t n = std::min<uint32_t>(count, static_cast<uint32_t>(pending.size()));
        std::memcpy(buffer, pending.data(), n);
        pending.erase(0, n);
        return static_cast<int>(n);
    }
    int Write(const uint8_t* buffer, uint32_t count) override
    {
        written.append(reinterpret_cast<const char*>(buffer), count);
        return writeResult;
    }
    bool IsOpen() const override { return open; }
};

} // namespace

TEST(CliTraceLink, LogsBytesBothWaysWithTimesAndPassesThrough)
{
    CapturedFile log;
    CannedLink inner;
    int64_t now = 500;
    TraceLink trace(inner, log.Get(), [&] { return now; });

    EXPECT_EQ(trace.Open(), 1);
    EXPECT_TRUE(trace.IsOpen());
    now += 3;
    const uint8_t wake = 0xC1;
    EXPECT_EQ(trace.Write(&wake, 1), 1);
    uint8_t answer[2] = {0, 0};
    EXPECT_EQ(trace.Read(answer, 2), 0);  // silence is not logged
    inner.pending = "8\x01";
    now += 12;
    EXPECT_EQ(trace.Read(answer, 2), 2);
    EXPECT_EQ(answer[0], '8');
    inner.writeResult = 0;
    const uint8_t frame[3] = {0x00, 0x10, 0x40};
    EXPECT_EQ(trace.Write(frame, 3), 0);
    EXPECT_FALSE(trace.SetRate(250000));  // a line that keeps its rate
    EXPECT_EQ(trace.Close(), 1);
    EXPECT_EQ(trace.Close(), 0);

    EXPECT_EQ(inner.written, std::string("\xC1\x00\x10\x40", 4));
    EXPECT_EQ(log.Text(), "       0 ms open ok\n"
                          "       3 ms > C1\n"
                          "      15 ms < 38 01\n"
                          "      15 ms > 00 10 40 (write failed)\n"
                          "      15 ms rate 250000 failed\n"
                          "      15 ms close\n");
}
