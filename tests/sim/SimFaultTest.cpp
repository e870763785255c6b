#include "SimTestSupport.h"
#include <gtest/gtest.h>

namespace {

TEST(SimFaults, IgnoredWakeUpsThenNormalAnswers)
{
    BootFaults f;
    f.ignoreWakeups = 2;
    SimRig rig(ChipF88(), f);
    EXPECT_TRUE(rig.WakeUp().empty());
    EXPECT_TRUE(rig.WakeUp().empty());
    EXPECT_TRUE(rig.Send(rig.Block(0)).empty());  // still asleep
    EXPECT_EQ(rig.WakeUp(), (Bytes{'H', Bootloader::kVersionByte}));
}

TEST(SimFaults, HalfAnswerAndForeignChipByte)
{
    BootFaults half;
    half.halfAnswer = true;
    EXPECT_EQ(SimRig(ChipF819(), half).WakeUp(), Bytes{'8'});

    BootFaults other;
    other.answerByte = 'X';
    EXPECT_EQ(SimRig(ChipF88(), other).WakeUp(), (Bytes{'X', Bootloader::kVersionByte}));
    other.versionByte = 0x10;
    EXPECT_EQ(SimRig(ChipF88(), other).WakeUp(), (Bytes{'X', 0x10}));
}

TEST(SimFaults, RefusalsThenAcceptanceOnlyForThatBlock)
{
    BootFaults f;
    f.nacks[2] = 3;
    SimRig rig(ChipF88(), f);
    rig.WakeUp();
    EXPECT_EQ(rig.Send(rig.Block(1)), Bytes{'K'});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(rig.Send(rig.Block(2)), Bytes{'N'}) << i;
    EXPECT_EQ(rig.flash.Word(2 * 32), FlashModel::kErased);
    EXPECT_EQ(rig.Send(rig.Block(2)), Bytes{'K'});
    EXPECT_EQ(rig.Send(rig.Block(3)), Bytes{'K'});
}

TEST(SimFaults, SilenceAfterRefusals)
{
    BootFaults f;
    f.nacks[4] = 1;
    f.silences[4] = 2;
    SimRig rig(ChipF88(), f);
    rig.WakeUp();
    EXPECT_EQ(rig.Send(rig.Block(4)), Bytes{'N'});
    EXPECT_TRUE(rig.Send(rig.Block(4)).empty());
    EXPECT_TRUE(rig.Send(rig.Block(4)).empty());
    EXPECT_EQ(rig.flash.Word(4 * 32), FlashModel::kErased);
    EXPECT_EQ(rig.Send(rig.Block(4)), Bytes{'K'});
}

TEST(SimFaults, SilenceWithoutCountLastsForever)
{
    BootFaults f;
    f.silences[0] = 0;
    SimRig rig(ChipF819(), f);
    rig.WakeUp();
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(rig.Send(rig.Block(0)).empty());
    EXPECT_EQ(rig.Send(rig.Block(1)), Bytes{'K'});
}

TEST(SimFaults, GarbageAnswerStillWrites)
{
    BootFaults f;
    f.garbage.insert(7);
    SimRig rig(ChipF88(), f);
    rig.WakeUp();
    const Bytes answer = rig.Send(rig.Block(7));
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_NE(answer[0], 'K');
    EXPECT_NE(answer[0], 'N');
    EXPECT_NE(rig.flash.Word(7 * 32), FlashModel::kErased);
}

TEST(SimFaults, HangUpAfterTheGivenNumberOfBlocks)
{
    BootFaults f;
    f.hangUpAfter = 2;
    SimRig rig(ChipF88(), f);
    rig.WakeUp();
    rig.Send(rig.Block(0));
    EXPECT_FALSE(rig.hungUp);
    EXPECT_EQ(rig.Send(rig.Block(1)), Bytes{'K'});  // answered, then gone
    EXPECT_TRUE(rig.hungUp);

    BootFaults atOnce;
    atOnce.hangUpAfter = 0;
    SimRig early(ChipF819(), atOnce);
    EXPECT_EQ(early.WakeUp().size(), 2u);
    EXPECT_TRUE(early.hungUp);
}

}  // namespace
