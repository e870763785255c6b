#include "EngineFixture.h"
#include "FlashWriterTestAccess.h"
#include "LoadCases.h"
#include <fstream>
#include <gtest/gtest.h>

// Beside LoadCase (global), where gtest looks for it.
void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

namespace {

TEST(EngineHexPair, EveryCharacterYieldsADigit)
{
    const struct { const char* pair; uint8_t value; } cases[] = {
        {"00", 0x00}, {"09", 0x09}, {"AF", 0xAF}, {"af", 0xAF}, {"Ab", 0xAB}, {"FF", 0xFF},
        {"G0", 0x00}, {" 0", 0x90}, {":0", 0x30}, {"\r\n", 0x63},
    };
    FakeHost host;
    ScriptedLink link(host.tick);
    CFlashWriter writer(link, host);
    for (const auto& c : cases) EXPECT_EQ(FlashWriterTestAccess::HexPairToByte(writer, c.pair), c.value) << c.pair;
}

class EngineLoader : public testing::TestWithParam<LoadCase> {};

TEST_P(EngineLoader, LoadsAsRecorded)
{
    const LoadCase& c = GetParam();
    EngineRig rig;
    ASSERT_TRUE(rig.Load(c.hex));
    EXPECT_EQ(rig.writer.TotalBytes(), c.totalBytes);
    EXPECT_EQ(rig.writer.HighAddr(), c.highAddr);
    EXPECT_EQ(rig.writer.HighCount(), c.highCount);
    EXPECT_EQ(rig.writer.LoadReport().badRecords, c.badRecords);
    EXPECT_EQ(rig.writer.LoadReport().skippedHighRecords, c.skippedHigh);
    EXPECT_EQ(rig.writer.LoadReport().firstBadLine, c.firstBadLine);
    EXPECT_EQ(rig.writer.LoadReport().missingEndRecord, c.missingEnd);
    EXPECT_EQ(rig.writer.LoadReport().setsConfig2, c.setsConfig2);
    EXPECT_EQ(rig.writer.HasProgramData(), !c.bytes.empty());
    const uint8_t* image = rig.writer.Image();
    std::vector<uint8_t> expected(kImageSize, 0xFF);
    for (const auto& [offset, value] : c.bytes) expected[offset] = value;
    for (uint32_t i = 0; i < kImageSize; ++i)
        ASSERT_EQ(image[i], expected[i]) << "offset 0x" << std::hex << i;
}

INSTANTIATE_TEST_SUITE_P(Records, EngineLoader, testing::ValuesIn(kLoadCases),
                         [](const testing::TestParamInfo<LoadCase>& info) { return info.param.name; });

// A stream that fails partway, as a bad disk or a vanished network file does.
class FailingSource : public IByteSource {
public:
    explicit FailingSource(std::string text) : m_text(std::move(text)) {}
    int Get() override
    {
        if (m_pos < m_text.size()) return static_cast<unsigned char>(m_text[m_pos++]);
        m_failed = true;
        return -1;
    }
    void Unget(int c) override { if (c >= 0) --m_pos; }
    bool Failed() const override { return m_failed; }

private:
    std::string m_text;
    size_t m_pos = 0;
    bool m_failed = false;
};

TEST(EngineLoaderFailure, ReadErrorStartsNoRun)
{
    EngineRig rig;
    FailingSource source(IntelHexRecord(0, Bytes(16)));
    rig.writer.LoadAndProgram(source);
    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::FileReadError);
    EXPECT_TRUE(rig.link.writes.empty());
    EXPECT_EQ(rig.writer.Image(), nullptr);
}

// Closing the window or Ctrl-C during a long load ends it there: the search
// (whose first act is a wake-up byte) never starts.
TEST(EngineLoaderFailure, AbandonedDuringALongLoadSendsNothing)
{
    EngineRig rig;
    rig.host.abandonAtTick = 1;
    const std::string hex = std::string(1 << 20, ';') + IntelHexRecord(0, Bytes(16)) + IntelHexEndRecord();
    rig.Run(hex);
    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Abandoned);
    EXPECT_TRUE(rig.link.writes.empty());
    EXPECT_EQ(rig.writer.Image(), nullptr);
    EXPECT_EQ(rig.host.loadedCalls, 0);
}

TEST(EngineLoaderFailure, ProgressResetBeforeLoad)
{
    EngineRig rig;
    ASSERT_TRUE(rig.Load(IntelHexRecord(0, {1})));
    ASSERT_FALSE(rig.host.progress.empty());
    EXPECT_EQ(rig.host.progress.front(), 0);
}

}  // namespace
