#include "SimTestSupport.h"
#include <gtest/gtest.h>

namespace {

TEST(SimFlashModel, ErasedBelowTheBootloaderAndCodeAboveIt)
{
    for (const ChipInfo* chip : {&ChipF819(), &ChipF88()}) {
        FlashModel flash(*chip);
        const uint32_t entry = chip->isF819 ? 0x760u : 0xF60u;
        EXPECT_EQ(flash.BootEntry(), entry);
        EXPECT_EQ(flash.Words(), static_cast<uint32_t>(chip->flashWords));
        EXPECT_EQ(flash.Word(0), FlashModel::kErased);
        EXPECT_EQ(flash.Word(entry - 1), FlashModel::kErased);
        for (uint32_t a = entry; a < flash.Words(); ++a) {
            ASSERT_NE(flash.Word(a), FlashModel::kErased) << std::hex << a;
            ASSERT_LE(flash.Word(a), 0x3FFF) << std::hex << a;
        }
    }
}

TEST(SimBootloader, WakeUpAnswersTheChipAndAVersionByte)
{
    SimRig f819(ChipF819());
    EXPECT_EQ(f819.WakeUp(), (Bytes{'8', Bootloader::kVersionByte}));
    SimRig f88(ChipF88());
    EXPECT_EQ(f88.WakeUp(), (Bytes{'H', Bootloader::kVersionByte}));
    // A host that lost the answer wakes it again.
    EXPECT_EQ(f88.WakeUp(), (Bytes{'H', Bootloader::kVersionByte}));
    EXPECT_EQ(f88.boot.WakeupsAnswered(), 2u);
}

TEST(SimBootloader, FramesBeforeAWakeUpAreIgnored)
{
    SimRig rig(ChipF88());
    EXPECT_TRUE(rig.Send(rig.Block(0)).empty());
    EXPECT_EQ(rig.flash.Word(0), FlashModel::kErased);
    EXPECT_FALSE(rig.boot.Awake());
}

TEST(SimBootloader, AcceptedFrameIsWrittenAsFourteenBitWordsAfterTheFlashTime)
{
    SimRig rig(ChipF88());
    rig.WakeUp();
    Bytes data(64);
    for (size_t i = 0; i < 64; i += 2) {
        data[i] = static_cast<uint8_t>(i);
        data[i + 1] = 0xC0 | static_cast<uint8_t>(i / 2);  // top bits do not exist on the chip
    }
    EXPECT_EQ(rig.Send(SimRig::Frame(0x40, data)), Bytes{'K'});
    EXPECT_EQ(rig.lastDelayNs, BootTiming{}.flashWriteNs);
    for (uint32_t w = 0; w < 32; ++w)
        EXPECT_EQ(rig.flash.Word(0x40 + w), ((0xC0u | w) << 8 | (2 * w)) & 0x3FFF) << w;
    EXPECT_EQ(rig.flash.Word(0x3F), FlashModel::kErased);
    EXPECT_EQ(rig.flash.Word(0x60), FlashModel::kErased);
    EXPECT_EQ(rig.boot.BlocksAccepted(), 1u);
}

TEST(SimBootloader, BadChecksumOrCountIsRefusedAndNothingWritten)
{
    SimRig rig(ChipF819());
    rig.WakeUp();
    Bytes bad = rig.Block(3);
    bad.back() ^= 0x01;
    EXPECT_EQ(rig.Send(bad), Bytes{'N'});
    EXPECT_EQ(rig.Send(SimRig::Frame(3 * 32, SimRig::Pattern(1), 0x3F)), Bytes{'N'});
    EXPECT_EQ(rig.flash.Word(3 * 32), FlashModel::kErased);
    EXPECT_EQ(rig.boot.FramesRefused(), 2u);
    // The host's resend goes through.
    EXPECT_EQ(rig.Send(rig.Block(3)), Bytes{'K'});
}

struct BootAreaCase {
    bool f819;
    uint32_t word;
    char answer;
};

void PrintTo(const BootAreaCase& c, std::ostream* os)
{
    *os << (c.f819 ? "PIC16F819" : "PIC16F88") << " word 0x" << std::hex << c.word;
}

class SimBootArea : public testing::TestWithParam<BootAreaCase> {};

TEST_P(SimBootArea, OnlyFramesWhollyBelowTheEntryAreWritten)
{
    const BootAreaCase c = GetParam();
    SimRig rig(c.f819 ? ChipF819() : ChipF88());
    const std::vector<uint16_t> before = rig.flash.AllWords();
    rig.WakeUp();
    EXPECT_EQ(rig.Send(SimRig::Frame(c.word, Bytes(64, 0))), Bytes{static_cast<uint8_t>(c.answer)});
    if (c.answer == 'N') {
        EXPECT_EQ(rig.flash.AllWords(), before);
    } else {
        for (uint32_t w = c.word; w < c.word + 32; ++w) EXPECT_EQ(rig.flash.Word(w), 0) << std::hex << w;
    }
}

INSTANTIATE_TEST_SUITE_P(Sim, SimBootArea,
                         testing::Values(BootAreaCase{true, 0x740, 'K'},   // last block: the relocated vector
                                         BootAreaCase{true, 0x73C, 'K'},   // ends on 0x75B
                                         BootAreaCase{true, 0x740 + 1, 'N'},  // reaches the entry
                                         BootAreaCase{true, 0x760, 'N'},
                                         BootAreaCase{true, 0x7E0, 'N'},
                                         BootAreaCase{false, 0xF40, 'K'},
                                         BootAreaCase{false, 0xF50, 'N'},
                                         BootAreaCase{false, 0xF60, 'N'},
                                         BootAreaCase{false, 0x1000, 'N'},  // past the end of memory
                                         BootAreaCase{false, 0x3FE0, 'N'}));

TEST(SimBootloader, PartialFrameIsDroppedAfterSilence)
{
    SimRig rig(ChipF88());
    rig.WakeUp();
    const Bytes block = rig.Block(5);
    rig.Send(Bytes(block.begin(), block.begin() + 30));
    rig.Wait(BootTiming{}.interByteTimeoutNs + 1);
    EXPECT_EQ(rig.Send(block), Bytes{'K'});
    EXPECT_EQ(rig.flash.Word(5 * 32), SimRig::Pattern(1)[0] | (SimRig::Pattern(1)[1] << 8));
}

TEST(SimBootloader, PartialFrameIsDroppedEvenWhenNoIdleCallCame)
{
    SimRig rig(ChipF88());
    rig.WakeUp();
    const Bytes block = rig.Block(5);
    rig.Send(Bytes(block.begin(), block.begin() + 67));
    rig.now += BootTiming{}.interByteTimeoutNs + 1;  // the next byte comes late
    EXPECT_EQ(rig.Send(block), Bytes{'K'});
}

TEST(SimBootloader, ShortPausesInsideAFrameDoNotBreakIt)
{
    SimRig rig(ChipF88());
    rig.WakeUp();
    const Bytes block = rig.Block(5);
    rig.Send(Bytes(block.begin(), block.begin() + 40));
    rig.Wait(BootTiming{}.interByteTimeoutNs / 2);
    EXPECT_EQ(rig.Send(Bytes(block.begin() + 40, block.end())), Bytes{'K'});
}

TEST(SimBootloader, WakeUpByteInsideAFrameIsData)
{
    SimRig rig(ChipF88());
    rig.WakeUp();
    Bytes data(64, kWakeUpByte);
    EXPECT_EQ(rig.Send(SimRig::Frame(0, data)), Bytes{'K'});
    EXPECT_EQ(rig.flash.Word(0), 0x3FFF & 0xC1C1);
}

TEST(SimBootloader, WakeUpAfterAStrayPartialFrameRestartsTheDialogue)
{
    SimRig rig(ChipF819());
    rig.WakeUp();
    rig.Send({0x00, 0x20, 0x40, 0x01});
    rig.Wait(100000000);
    EXPECT_EQ(rig.WakeUp(), (Bytes{'8', Bootloader::kVersionByte}));
    EXPECT_EQ(rig.Send(rig.Block(1)), Bytes{'K'});
}

TEST(SimBootloader, SessionEndsAfterSilenceFollowingWrittenBlocks)
{
    SimRig rig(ChipF88());
    rig.WakeUp();
    rig.Wait(BootTiming{}.sessionIdleNs * 2);
    EXPECT_EQ(rig.boot.SessionsCompleted(), 0u);  // nothing written yet: the host may still come
    rig.Send(rig.Block(0));
    EXPECT_NE(rig.boot.NextDeadline(), UINT64_MAX);
    rig.Wait(BootTiming{}.sessionIdleNs);
    EXPECT_EQ(rig.boot.SessionsCompleted(), 1u);
    // A second run on the same board: the first one's blocks stay.
    rig.WakeUp();
    rig.Send(rig.Block(1, 9));
    rig.WakeUp();  // a third run starting without a pause also closes the second
    EXPECT_EQ(rig.boot.SessionsCompleted(), 2u);
    EXPECT_EQ(rig.flash.Word(0), SimRig::Pattern(1)[0] | ((SimRig::Pattern(1)[1] << 8) & 0x3F00));
}

}  // namespace
