#include "ChipContent.h"
#include "EngineFixture.h"
#include "LoaderWire.h"
#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> AskReply(uint8_t first, uint8_t abilities, uint32_t start, int sumOff = 0)
{
    std::vector<uint8_t> reply = {first, abilities, static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start)};
    uint8_t sum = 0;
    for (uint8_t b : reply) sum = static_cast<uint8_t>(sum + b);
    reply.push_back(static_cast<uint8_t>(LoaderWire::kExtendedSum - sum + sumOff));
    return reply;
}

// Only a whole, consistent answer makes a loader ours: an "N", a reply that
// does not add up, or an area no loader of ours could have is the inherited
// dialogue.
TEST(LoaderWire, OnlyAWholeAskAnswerMakesTheLoaderOurs)
{
    const struct { const char* what; const ChipInfo& chip; std::vector<uint8_t> reply; bool ours; } cases[] = {
        {"ours, PIC16F88", ChipF88(), AskReply('X', 0x3F, 0xEC0), true},
        {"ours, PIC16F819", ChipF819(), AskReply('X', 0x39, 0x6E0), true},
        {"its vector row may be the start", ChipF88(), AskReply('X', 0x3F, 0xF40), true},
        {"refused", ChipF88(), {'N', 0, 0, 0, 0}, false},
        {"does not add up", ChipF88(), AskReply('X', 0x3F, 0xEC0, 1), false},
        {"another first byte", ChipF88(), AskReply('K', 0x3F, 0xEC0), false},
        {"start inside a row", ChipF88(), AskReply('X', 0x3F, 0xEC4), false},
        {"start above the vector row", ChipF819(), AskReply('X', 0x3F, 0x760), false},
        {"start leaves no room", ChipF819(), AskReply('X', 0x3F, 0x100), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoaderInfo info;
        info.version = 0x12;
        EXPECT_EQ(TakeAskReply(c.reply.data(), c.chip, info), c.ours);
        EXPECT_EQ(info.extended, c.ours);
    }
    LoaderInfo info;
    info.version = 0x12;
    ASSERT_TRUE(TakeAskReply(AskReply('X', 0x3F, 0xEC0).data(), ChipF88(), info));
    EXPECT_EQ(DescribeLoader(info), "bootloader 1.2: 250000 baud, read, EEPROM; its area from 0x0EC0");
    EXPECT_EQ(FastestOfferedRate(info, 200000), 125000);
    EXPECT_EQ(FastestOfferedRate(info, 19200), 19200);
    info.extended = false;
    EXPECT_EQ(DescribeLoader(info), "bootloader 1.2");
}

// What --read writes loads back as the program it was: the moved words at
// 0..3, erased rows and an erased EEPROM left out.
TEST(LoaderWire, ChipContentIsTheProgramsOwnHex)
{
    ChipContent content;
    content.words.assign(0x100, 0x3FFF);
    content.words[0] = 0x158A;  // the loader's jump, replaced by the moved words
    content.words[1] = 0x2F60;
    content.words[0x40] = 0x3412;
    content.words[0x5F] = 0xFFFF;  // two spare bits set: still erased
    content.moved = {0x018A, 0x2805, 0x3FFF, 0x3FFF};
    content.eeprom.assign(256, 0xFF);
    const std::string blank = ChipContentHex(content);
    content.eeprom[0x21] = 0x5A;
    const std::string hex = ChipContentHex(content);

    EXPECT_EQ(blank.find(":1042"), std::string::npos);
    EXPECT_EQ(hex.find(":10004000"), std::string::npos) << "an erased row is left out";
    EXPECT_NE(hex.find(":10002000"), std::string::npos) << "a row with data is whole";
    EngineRig rig;
    MemorySource source(hex.data(), hex.size());
    LoadedHex loaded;
    ASSERT_TRUE(rig.writer.LoadAndKeep(source, loaded));
    EXPECT_EQ(loaded.image[0], 0x8A);
    EXPECT_EQ(loaded.image[1], 0x01);
    EXPECT_EQ(loaded.image[2], 0x05);
    EXPECT_EQ(loaded.image[3], 0x28);
    EXPECT_EQ(loaded.image[0x80], 0x12);
    EXPECT_EQ(loaded.image[0x81], 0x34);
    EXPECT_EQ(loaded.report.eepromBytes, 32u);
    EXPECT_EQ(loaded.eeprom[0x21], 0x5A);
    EXPECT_EQ(loaded.eeprom[0x20], 0xFF);
    EXPECT_EQ(loaded.eeprom[0x40], -1);
    EXPECT_EQ(loaded.report.skippedHighRecords, 0u);
}

}  // namespace
