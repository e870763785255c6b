#include "EngineFixture.h"
#include <gtest/gtest.h>

namespace {

const std::string kSmallProgram = IntelHexRecord(0, Bytes(8)) + IntelHexEndRecord();

TEST(EngineSearch, IdentifiesBothChips)
{
    const struct { uint8_t answer; const char* status; } cases[] = {{'8', "PIC16F819 found"}, {'H', "PIC16F88 found"}};
    for (const auto& c : cases) {
        EngineRig rig;
        rig.board.chip = c.answer;
        rig.Run(kSmallProgram);
        ASSERT_GE(rig.host.statuses.size(), 3u);
        EXPECT_EQ(rig.host.statuses[0], "Searching PIC!");
        EXPECT_EQ(rig.host.statuses[1], c.status);
        EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);
        EXPECT_EQ(rig.link.WakeUps(), 1u);
    }
}

TEST(EngineSearch, HalfAnswerIsTakenAfterTwoTicks)
{
    EngineRig rig;
    rig.board.wakeReply = {'8'};
    rig.Run(kSmallProgram);
    EXPECT_EQ(rig.host.statuses[1], "PIC16F819 found");
    EXPECT_EQ(rig.link.WakeUps(), 1u);
}

TEST(EngineSearch, SecondByteOnTheLastTickStillCounts)
{
    EngineRig rig;
    // First byte at once, second exactly when the two extra ticks run out.
    rig.link.onWrite = [&](const std::vector<uint8_t>& w) {
        if (w.size() == 1) {
            rig.link.Reply({'H'}, 1);
            rig.link.rx.emplace_back(rig.host.tick + 3, 0x01);
        } else {
            rig.link.Reply({'K'}, 1);
        }
    };
    rig.Run(kSmallProgram);
    EXPECT_EQ(rig.host.statuses[1], "PIC16F88 found");
    EXPECT_EQ(rig.link.WakeUps(), 1u);
}

TEST(EngineSearch, AnswerCompletedAsCountdownEndsIsDropped)
{
    EngineRig rig;
    int wakeUps = 0;
    rig.board.wakeDelay = 2;  // arrives in the pass that takes the countdown to zero
    rig.link.onWrite = [&, inner = rig.link.onWrite](const std::vector<uint8_t>& w) {
        if (w.size() == 1 && ++wakeUps == 2) rig.board.wakeDelay = 1;
        inner(w);
    };
    rig.Run(kSmallProgram);
    EXPECT_EQ(rig.link.WakeUps(), 2u);
    EXPECT_EQ(rig.host.statuses[0], "Searching PIC!");
    EXPECT_EQ(rig.host.statuses[1], "Searching PIC!");
    EXPECT_EQ(rig.host.statuses[2], "PIC16F88 found");
    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);
}

// A network line's round trip widens the wait for an answer 4 ticks late;
// a local port keeps its two ticks and never hears it.
TEST(EngineSearch, AnswerWindowWidensByTheLinesRoundTrip)
{
    for (const int slackMs : {0, 45, 60}) {
        SCOPED_TRACE(slackMs);
        EngineRig rig;
        rig.link.answerSlackMs = slackMs;
        rig.board.wakeDelay = 4;
        rig.host.abandonAtTick = 120;
        rig.Run(kSmallProgram);
        EXPECT_EQ(rig.writer.LastOutcome(), slackMs ? FlashOutcome::Programmed : FlashOutcome::Abandoned);
        EXPECT_EQ(rig.link.WakeUps(), slackMs ? 1u : 10u);
    }
}

TEST(EngineSearch, SilentTargetIsSearchedForUntilTheHostGivesUp)
{
    EngineRig rig;
    rig.link.onWrite = nullptr;  // nobody there
    rig.host.abandonAtTick = 120;
    rig.Run(kSmallProgram);
    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Abandoned);
    // One wake-up byte every 12 ticks: 2 waiting for the answer, 10 pausing.
    EXPECT_EQ(rig.link.WakeUps(), 10u);
    EXPECT_EQ(rig.host.LastStatus(), "Searching PIC!");
    EXPECT_TRUE(rig.link.Frames().empty());
    EXPECT_EQ(rig.writer.Image(), nullptr);
}

TEST(EngineSearch, LateTargetIsFound)
{
    EngineRig rig;
    int wakeUps = 0;
    auto inner = rig.link.onWrite;
    rig.link.onWrite = [&](const std::vector<uint8_t>& w) {
        if (w.size() == 1 && ++wakeUps < 5) return;  // asleep for the first four
        inner(w);
    };
    rig.Run(kSmallProgram);
    EXPECT_EQ(rig.link.WakeUps(), 5u);
    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);
}

TEST(EngineSearch, UnexpectedAnswerSendsNothing)
{
    EngineRig rig;
    rig.board.chip = 'X';
    rig.Run(kSmallProgram);
    EXPECT_EQ(rig.host.LastStatus(), "Unexpected responce form target");
    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::UnexpectedAnswer);
    EXPECT_TRUE(rig.link.Frames().empty());
}

TEST(EngineSearch, BytesBeforeTheWakeUpAreNotAnAnswer)
{
    EngineRig rig;
    rig.link.Reply({'8', 0x01});  // noise waiting on the line before the run
    rig.board.chip = 'H';
    rig.Run(kSmallProgram);
    EXPECT_EQ(rig.host.statuses[1], "PIC16F88 found");
}

}  // namespace
