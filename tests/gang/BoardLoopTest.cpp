// The gang loop's leave-and-reopen logic on a scripted line: a fake clock
// for the runs, pauses of a millisecond between boards.
#include "BoardLoop.h"
#include "FakeHost.h"
#include "FlashWriter.h"
#include "ScriptedLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace {

// The far end: boards come and go, the port may vanish for a while.
struct Bench {
    Bench() = default;
    Bench(const Bench&) = delete;  // the link holds a reference to tick
    Bench& operator=(const Bench&) = delete;

    // After a board's frames: wake-ups its bootloader still answers (the same
    // board), then wake-ups nobody answers (no board), then the next board.
    int stayProbes = 0;
    int absentWakeUps = 0;
    // Wake-ups answered with a byte that names no chip (a late "K", or a
    // running program's) before the first board answers.
    int foreignWakeUps = 0;
    // After the first board: writes fail until this many opens were refused.
    bool vanishAfterFirst = false;
    // The port goes (a server closing the connection) at this wake-up; 0: never.
    int vanishAtWakeUp = 0;
    int refusedOpens = 0;

    int tick = 0;
    ScriptedLink link{tick};
    int boardsDone = 0;
    int wakeUpsAfter = 0;  // since the last board's frames
    bool framesSent = false;
    bool gone = false;
    int wakeUps = 0;
    int firstGap = -1;  // wake-ups between the first board's frames and the second's

    void Attach()
    {
        link.onWrite = [this](const std::vector<uint8_t>& w) {
            if (w.size() > 1) {
                if (!framesSent && boardsDone == 1 && firstGap < 0)
                    firstGap = wakeUpsAfter;
                framesSent = true;
                link.Reply({'K'});
                return;
            }
            if (++wakeUps == vanishAtWakeUp) {
                gone = true;
                return;
            }
            if (framesSent) {
                framesSent = false;
                ++boardsDone;
                wakeUpsAfter = 0;
                if (vanishAfterFirst && boardsDone == 1)
                    gone = true;
            }
            const int after = ++wakeUpsAfter;
            if (boardsDone == 0 && wakeUps <= foreignWakeUps) {
                link.Reply({'K'});
                return;
            }
            const bool silent = boardsDone > 0 && after > stayProbes && after <= stayProbes + absentWakeUps;
            if (!silent)
                link.Reply({'H', 0x01});
        };
    }
};

class BenchPort : public IPortLink {
public:
    explicit BenchPort(Bench& bench) : m_bench(bench) {}
    int Open() override
    {
        if (m_bench.gone && m_bench.refusedOpens-- > 0)
            return 0;
        m_bench.gone = false;
        m_lost = false;
        return m_bench.link.Open();
    }
    int Close() override { return m_bench.link.Close(); }
    int Read(uint8_t* buffer, uint32_t count) override { return m_bench.link.Read(buffer, count); }
    int Write(const uint8_t* buffer, uint32_t count) override
    {
        m_lost = m_lost || m_bench.gone;
        return m_lost ? 0 : m_bench.link.Write(buffer, count);
    }
    bool IsOpen() const override { return m_bench.link.IsOpen() && !m_lost; }
    const std::string& DevicePath() const override { return m_device; }
    const PortResult& LastError() const override { return m_error; }
    PortResult PulseModemLine(ModemLine, int) override { return PortResult{PortStatus::Unsupported, ""}; }
    PortResult SetLineRate(int) override { return PortResult{}; }
    PortResult WriteThrough(const uint8_t* buffer, uint32_t count) override
    {
        return Write(buffer, count) ? PortResult{} : PortResult{PortStatus::Lost, ""};
    }
    bool LineLost() const override { return m_lost; }

private:
    Bench& m_bench;
    bool m_lost = false;
    std::string m_device = "/dev/bench0";
    PortResult m_error;
};

struct RecordingView : IGangView {
    void Status(size_t, const std::string& text) override { statuses.push_back(text); }
    void Progress(size_t, int) override {}
    void Line(size_t, const std::string& text) override { lines.push_back(text); }
    void Problem(size_t, const std::string& text) override { problems.push_back(text); }
    void Trace(size_t, const std::string&) override {}
    void Beep(size_t) override { ++beeps; }
    void Summary(size_t, const PortTally&) override {}
    void Total(const PortTally&) override {}
    bool Said(const std::vector<std::string>& said, const std::string& text) const
    {
        return std::find(said.begin(), said.end(), text) != said.end();
    }
    std::vector<std::string> statuses, lines, problems;
    int beeps = 0;
};

LoadedHex SmallImage()
{
    const std::string hex = ":020000000428D2\n:00000001FF\n";
    MemorySource source(hex.data(), hex.size());
    FakeHost host;
    LoadedHex image;
    EXPECT_EQ(CFlashWriter::LoadKept(source, host, image), FlashOutcome::None);
    return image;
}

TEST(GangBoardLoop, LeavesAndReopensOnAScriptedLine)
{
    struct Row {
        const char* name;
        int stay, absent, foreign;
        bool vanish;
        int refused, count, programmed, wakeUpsAfterFirst;
        std::vector<std::string> lines;
        // A single board (a gang of one), searched for within wait seconds.
        bool single = false;
        double wait = -1;
        int vanishAtWakeUp = 0;
        BoardEnd::Stop end = BoardEnd::Stop::None;  // None: the boards that started were programmed
        std::vector<std::string> problems = {};  // each found in the problem said in its place
    };
    const Row rows[] = {
        // The board left on the port is asked twice, then is gone for three
        // wake-ups: only the board after that is the second one.
        {"same board until it leaves", 2, 3, 0, false, 0, 2, 2, 2 + 3 + 1, {}},
        {"next board after one silent wake-up", 0, 1, 0, false, 0, 3, 3, 2, {}},
        // A board still running its own program is no board yet, and says nothing.
        {"foreign answers first", 0, 0, 2, false, 0, 1, 1, -1, {}},
        {"port goes and comes back",
         0, 0, 0, true, 3, 2, 2, -1,
         {"the port has gone away; waiting for it to come back", "the port is back (/dev/bench0)"}},
        // One board: a stray answer (the late "K" of an interrupted run) is
        // passed over without a word; a running program is named once.
        {"single board found after one stray answer", 0, 0, 1, false, 0, 0, 1, -1, {}, true, 30},
        {"single board found after foreign answers", 0, 0, 3, false, 0, 0, 1, -1, {}, true, 30, 0, BoardEnd::Stop::None,
         {"The board answers with other bytes: its program is probably running. Reset it"}},
        {"single board: only foreign answers within the wait", 0, 0, 1000000, false, 0, 0, 0, -1, {}, true, 2, 0,
         BoardEnd::Stop::ForeignAnswersOnly,
         {"its program is probably running", "only bytes that were no bootloader's answer came within 2.0 s"}},
        {"single board: the port goes while searching", 0, 0, 0, false, 0, 0, 0, -1, {}, true, -1, 1,
         BoardEnd::Stop::LineLost, {"the port has gone away"}},
    };
    const LoadedHex image = SmallImage();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto owned = std::make_unique<Bench>();
        Bench& b = *owned;
        b.stayProbes = row.stay;
        b.absentWakeUps = row.absent;
        b.foreignWakeUps = row.foreign;
        b.vanishAfterFirst = row.vanish;
        b.refusedOpens = row.refused;
        b.vanishAtWakeUp = row.vanishAtWakeUp;
        b.link.open = false;
        b.Attach();
        RecordingView view;
        int64_t nowMs = 0;
        std::atomic<bool> stop{false};  // a loop that never ends fails instead of hanging
        GangShared shared;
        shared.interrupted = &stop;
        shared.image = &image;
        shared.repeat = !row.single;
        shared.count = row.count;
        shared.waitSeconds = row.wait;
        shared.view = &view;
        shared.pacer.clock = [&nowMs] { return nowMs; };
        shared.pacer.sleepMs = [&nowMs, &b, &stop](int ms) {
            nowMs += ms;
            if (nowMs > 600000)
                stop = true;
            b.tick = static_cast<int>(nowMs / kTickMs);
        };
        shared.leaveQuietMs = shared.reopenPauseMs = 1;
        shared.answerMs = 5;
        GangPort port;
        port.name = "COM7";
        port.makeLink = [&b] { return std::make_unique<BenchPort>(b); };
        port.openError = [](const IPortLink&) { return std::string("refused"); };

        BoardLoop loop(std::move(port), 0, shared);
        loop.Run();

        EXPECT_EQ(loop.Tally().programmed, row.programmed);
        EXPECT_EQ(loop.Tally().failed, 0);
        EXPECT_EQ(loop.Tally().end.stop, row.end);
        EXPECT_EQ(loop.Tally().end.Programmed(), row.end == BoardEnd::Stop::None);
        EXPECT_EQ(view.beeps, row.programmed);
        ASSERT_EQ(view.problems.size(), row.problems.size()) << (view.problems.empty() ? "" : view.problems.front());
        for (size_t i = 0; i < row.problems.size(); ++i)
            EXPECT_NE(view.problems[i].find(row.problems[i]), std::string::npos) << view.problems[i];
        EXPECT_FALSE(view.Said(view.statuses, "Unexpected responce form target"));
        if (row.wakeUpsAfterFirst >= 0) {
            EXPECT_EQ(b.firstGap, row.wakeUpsAfterFirst);
        }
        for (const std::string& line : row.lines)
            EXPECT_TRUE(view.Said(view.lines, line)) << line;
        EXPECT_FALSE(b.link.open) << "the port is closed at the end";
    }
}

} // namespace
