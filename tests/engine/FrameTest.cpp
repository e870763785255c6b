#include "EngineFixture.h"
#include "FlashWriterTestAccess.h"
#include <gtest/gtest.h>
#include <numeric>

namespace {

// A file whose records add up to total data bytes.
std::string FileOfSize(uint32_t total)
{
    std::string hex;
    for (uint32_t address = 0; total > 0; address += 16) {
        const uint32_t n = std::min<uint32_t>(16, total);
        hex += IntelHexRecord(address, Bytes(n));
        total -= n;
    }
    return hex + IntelHexEndRecord();
}

std::vector<int> BarAfterFrames(uint32_t total, int frames)
{
    EngineRig rig;
    EXPECT_TRUE(rig.Load(FileOfSize(total)));
    uint8_t frame[256] = {0, 0, 0x40};
    for (int i = 0; i < frames; ++i) FlashWriterTestAccess::SendFrame(rig.writer, frame, 67);
    return rig.host.progress;
}

TEST(EngineFrame, ZeroBlockAtWordZero)
{
    EngineRig rig;
    uint8_t frame[256] = {0x00, 0x00, 0x40};
    EXPECT_EQ(FlashWriterTestAccess::SendFrame(rig.writer, frame, 67), 1);
    ASSERT_EQ(rig.link.writes.size(), 1u);
    const auto& wire = rig.link.writes[0];
    ASSERT_EQ(wire.size(), 68u);
    EXPECT_EQ(wire[67], 0xC0);
    EXPECT_EQ(std::accumulate(wire.begin(), wire.end(), 0u) % 256u, 0u);
    EXPECT_EQ(rig.writer.BytesSent(), 68);
    EXPECT_EQ(rig.writer.PayloadSent(), 64);
}

TEST(EngineFrame, ChecksumMakesEveryFrameSumToZero)
{
    EngineRig rig;
    uint8_t frame[256];
    for (int seed = 1; seed < 50; ++seed) {
        for (int i = 0; i < 67; ++i) frame[i] = static_cast<uint8_t>(seed * 37 + i * seed);
        FlashWriterTestAccess::SendFrame(rig.writer, frame, 67);
        const auto& wire = rig.link.writes.back();
        EXPECT_EQ(std::accumulate(wire.begin(), wire.end(), 0u) % 256u, 0u);
    }
}

TEST(EngineFrame, ProgressArithmetic)
{
    // Ten percent a frame: the bar leads by five.
    EXPECT_EQ(BarAfterFrames(640, 3), (std::vector<int>{0, 15, 25, 35}));
    // One percent a frame: the bar moves every second frame.
    EXPECT_EQ(BarAfterFrames(6400, 4), (std::vector<int>{0, 7, 9}));
    // Nothing loaded: no division, the bar shows done.
    EXPECT_EQ(BarAfterFrames(0, 2), (std::vector<int>{0, 105}));
}

}  // namespace
