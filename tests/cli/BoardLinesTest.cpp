// A single board's host (the gang's) drawing on a terminal or into a log.
#include "BoardHost.h"
#include "BoardLines.h"
#include "CapturedFile.h"

#include <atomic>
#include <deque>
#include <gtest/gtest.h>

namespace {

struct HostRig {
    CapturedFile out;
    CapturedFile err;
    int64_t nowMs = 1000;
    int sleeps = 0;
    std::atomic<bool> interrupted{false};
    bool force = false;
    int pulses = -1;  // >= 0: the board is wired for --reset, and counts the pulses
    std::deque<BoardLines> lines;

    BoardHost Make(bool terminal = false, int64_t waitMs = -1)
    {
        BoardHost::Options options;
        lines.emplace_back(terminal, out.Get(), err.Get());
        options.pacer.waitMs = waitMs;
        options.pacer.interrupted = &interrupted;
        options.force = force;
        if (pulses >= 0)
            options.pulseReset = [this] { return ++pulses > 0; };
        options.pacer.clock = [this] { return nowMs; };
        options.pacer.sleepMs = [this](int ms) {
            ++sleeps;
            nowMs += ms;
        };
        return BoardHost(options, lines.back(), 0, nullptr);
    }
};

} // namespace

TEST(CliHostCountdown, FollowsWholeTicksOfTheClock)
{
    HostRig rig;
    BoardHost host = rig.Make();
    host.SetCountdown(5);
    struct Step {
        int64_t advanceMs;
        int countdown;
    };
    // Part of a tick carries over into the next, as with a free-running timer.
    const Step steps[] = {{19, 5}, {1, 4}, {45, 2}, {14, 2}, {1, 1}, {1000, 0}, {20, 0}};
    for (const Step& step : steps) {
        rig.nowMs += step.advanceMs;
        ASSERT_TRUE(host.PumpMessages());
        EXPECT_EQ(host.GetCountdown(), step.countdown) << "after +" << step.advanceMs << " ms";
    }
    host.SetCountdown(150);
    EXPECT_EQ(host.GetCountdown(), 150);
    rig.nowMs += 3000;
    host.PumpMessages();
    EXPECT_EQ(host.GetCountdown(), 0);
    host.SetCountdown(-4);
    EXPECT_EQ(host.GetCountdown(), 0);
}

TEST(CliHostCountdown, TightPumpLoopYieldsTheProcessor)
{
    HostRig rig;
    BoardHost host = rig.Make();
    host.SetCountdown(10);
    int pumps = 0;
    while (host.GetCountdown() != 0 && pumps < 10000) {
        host.PumpMessages();
        ++pumps;
    }
    EXPECT_EQ(host.GetCountdown(), 0);
    EXPECT_GE(rig.sleeps, 190);  // ~1 ms per pump: 200 ms of ticks

    const int before = rig.sleeps;
    rig.nowMs += 5;  // a read in between already took time
    host.PumpMessages();
    EXPECT_EQ(rig.sleeps, before);
}

TEST(CliHostWait, GivesUpOnlyWhileNoTargetHasAnswered)
{
    HostRig rig;
    BoardHost host = rig.Make(false, 2000);
    rig.nowMs += 5000;  // a long load comes before the search and does not count
    EXPECT_TRUE(host.PumpMessages());
    host.OnSearchStarted();
    host.SetStatus("Searching PIC!");
    host.SetStatus("Unexpected responce form target");  // a status is no answer: only the event is
    const uint8_t program[2] = {'h', 'i'};
    EXPECT_TRUE(host.OnForeignAnswer(program));  // nor are a running program's bytes: the search goes on
    rig.nowMs += 1999;
    EXPECT_TRUE(host.PumpMessages());
    rig.nowMs += 1;
    EXPECT_FALSE(host.PumpMessages());
    EXPECT_EQ(host.Abandoned(), AbandonReason::WaitExpired);
    rig.nowMs += 1;
    EXPECT_FALSE(host.PumpMessages());  // stays abandoned

    HostRig found;
    BoardHost answered = found.Make(false, 2000);
    found.nowMs += 1000;
    answered.OnSearchStarted();
    answered.OnTargetAnswered(&ChipF819());
    found.nowMs += 60000;
    EXPECT_TRUE(answered.PumpMessages());
    EXPECT_TRUE(answered.TargetAnswered());
    EXPECT_EQ(answered.Abandoned(), AbandonReason::None);

    HostRig unlimited;
    BoardHost forever = unlimited.Make(false, -1);
    forever.OnSearchStarted();
    unlimited.nowMs += 3600 * 1000;
    EXPECT_TRUE(forever.PumpMessages());
}

// With --reset, a running program is reset when it answers, but no sooner
// than the bootloader's second of listening after the last pulse is over.
TEST(CliHostWait, RunningProgramIsResetNowAndThen)
{
    HostRig rig;
    rig.pulses = 0;
    BoardHost host = rig.Make(false, -1);
    host.OnSearchStarted();
    const uint8_t program[2] = {'h', 'i'};
    for (int64_t atMs : {0, 500, 1600, 1700, 3200}) {
        rig.nowMs = 1000 + atMs;
        EXPECT_TRUE(host.OnForeignAnswer(program));
    }
    EXPECT_EQ(rig.pulses, 3);
    EXPECT_EQ(rig.err.Text(), "The board answers with other bytes: its program is probably running. Resetting it "
                              "(the bootloader listens for 1 s after a reset)\n");
}

TEST(CliHostWait, InterruptStopsAtTheNextPump)
{
    HostRig rig;
    BoardHost host = rig.Make();
    EXPECT_TRUE(host.PumpMessages());
    rig.interrupted = true;
    EXPECT_FALSE(host.PumpMessages());
    EXPECT_EQ(host.Abandoned(), AbandonReason::Interrupted);
}

TEST(CliHostOutput, RepeatedStatusPrintedOnce)
{
    HostRig rig;
    BoardHost host = rig.Make();
    for (int i = 0; i < 5; ++i)
        host.SetStatus("Searching PIC!");
    host.SetStatus("PIC16F88 found");
    host.SetStatus("");
    host.SetStatus("Searching PIC!");
    host.SetStatus("Pic successfully programmed! ");
    EXPECT_EQ(rig.out.Text(),
              "Searching PIC!\nPIC16F88 found\nSearching PIC!\nPic successfully programmed! \n");
    EXPECT_EQ(rig.err.Text(), "");
}

TEST(CliHostOutput, PlainProgressLinesOffATerminal)
{
    HostRig rig;
    BoardHost host = rig.Make(false);
    for (int pos : {0, 3, 9, 10, 11, 25, 25, 99, 100, 140})
        host.SetProgressPos(pos);
    host.Beep();
    EXPECT_EQ(rig.out.Text(), "Progress 10%\nProgress 20%\nProgress 90%\nProgress 100%\n");
}

TEST(CliHostOutput, BarOnATerminalEndsBeforeTheNextText)
{
    HostRig rig;
    BoardHost host = rig.Make(true);
    host.SetProgressPos(0);  // the reset at the start draws nothing
    host.SetProgressPos(50);
    host.SetProgressPos(50);
    host.SetStatus("Timeout!");
    host.Beep();
    const std::string text = rig.out.Text();
    EXPECT_EQ(text.find("\r["), 0u) << text;
    EXPECT_EQ(text.find("\r[", 1), std::string::npos) << "drawn twice: " << text;
    EXPECT_NE(text.find("]  50%\nTimeout!\n\a"), std::string::npos) << text;
}

TEST(CliHostOutput, MessageBoxAndChecksumWarningGoToStderr)
{
    HostRig rig;
    BoardHost host = rig.Make();
    EXPECT_TRUE(host.OnHexLoaded(HexLoadReport()));
    EXPECT_EQ(rig.err.Text(), "");
    // A damaged file is refused (the caller says so), unless forced.
    const HexLoadReport damaged{3, 2, 7, true};
    EXPECT_FALSE(host.OnHexLoaded(damaged));
    EXPECT_EQ(rig.err.Text(), "");
    rig.force = true;
    BoardHost forced = rig.Make();
    EXPECT_TRUE(forced.OnHexLoaded(damaged));
    host.ShowMessageBox("hex file address overlaps boot area. Programming aborted.", "PIC16F88");
    const std::string err = rig.err.Text();
    EXPECT_NE(err.find("warning: 3 bad records (a wrong checksum, missing or non-hex digits, an unknown type, or a "
                       "second value for an address), the first on line 7; no end record"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("note: configuration words and ID locations in the file are not written"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("PIC16F88: hex file address overlaps boot area. Programming aborted.\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(rig.out.Text(), "");
}

TEST(CliHostOutput, SummaryGivesTimeAndRate)
{
    HostRig rig;
    BoardHost host = rig.Make();
    rig.nowMs += 2500;
    EXPECT_EQ(SentSummary(4352, host.ElapsedMs()), "Sent 4352 bytes in 2.5 s (1740 bytes/s)");
}
