#include "ChipModel.h"
#include "AtomicFile.h"
#include "ChipModelSetup.h"
#include "ChipWorkDir.h"
#include "ComLink.h"
#include "GpsimProcess.h"
#include "PtyBoard.h"
#include "UniqueFd.h"
#include "WriteSessions.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int Fail(const std::string& text)
{
    std::fprintf(stderr, "fernbow-sim: %s\n", text.c_str());
    return 1;
}

// Between fernbow-sim and gpsim: the chip's line (a socket pair) and the
// plug-in's flash events (a pipe, non-blocking at both ends: a full pipe
// costs events, never a stalled chip). The chip's ends go to gpsim.
struct ChipChannels {
    UniqueFd line, chipLine, events, chipEvents;

    bool Open(std::string& error)
    {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
            error = std::string("cannot make a socket pair: ") + std::strerror(errno);
            return false;
        }
        line.Reset(pair[0]);
        chipLine.Reset(pair[1]);
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
            error = std::string("cannot make a pipe: ") + std::strerror(errno);
            return false;
        }
        events.Reset(pipeFds[0]);
        chipEvents.Reset(pipeFds[1]);
        return true;
    }
    // gpsim holds the chip's ends now.
    void HandOver()
    {
        chipLine.Reset();
        chipEvents.Reset();
        ::fcntl(line.Get(), F_SETFL, ::fcntl(line.Get(), F_GETFL) | O_NONBLOCK);
    }
};

// The parts found, and gpsim's script written in a temporary folder.
bool PrepareChipModel(const ChipModelOptions& o, ChipModelParts& parts, ChipWorkDir& dir, std::string& error)
{
    if (!FindChipModelParts(o, parts, error) || !dir.Make(error)) return false;
    const std::string dumpPath = o.dump.empty() ? "" : dir.DumpPath();
    return dir.Write(ChipModelScript(o, parts, kGpsimLineFd, kGpsimRateFd, kGpsimEventFd, dumpPath), error);
}

// gpsim on the script, with the chip's ends of the channels and the host's
// terminal (rateFd).
bool StartChipModel(const ChipModelOptions& o, const ChipModelParts& parts, const ChipWorkDir& dir, int rateFd,
                    const ChipChannels& channels, GpsimProcess& gpsim, std::string& error)
{
    GpsimStart start;
    start.gpsim = parts.gpsim;
    start.processor = GpsimProcessor(*o.chip);
    start.script = dir.ScriptPath();
    start.firmware = parts.firmware;
    start.input = dir.QuitPath();
    start.line = channels.chipLine.Get();
    start.rate = rateFd;
    start.events = channels.chipEvents.Get();
    return gpsim.Start(start, error);
}

// Copies what is readable from one descriptor to another: the bytes
// copied, 0 when none were waiting, -1 when the source has ended.
ssize_t Relay(int from, int to)
{
    uint8_t buffer[512];
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got == 0) return -1;
    if (got < 0) return errno == EAGAIN || errno == EINTR || errno == EIO ? 0 : -1;
    size_t done = 0;
    while (done < static_cast<size_t>(got)) {
        const ssize_t w = ::write(to, buffer + done, static_cast<size_t>(got) - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;  // a full line: the bytes are lost, as on a wire nobody reads
        done += static_cast<size_t>(w);
    }
    return got;
}

// Why the relay stopped, and the exit status it leaves.
struct RelayEnd {
    const char* why;
    int status;
};

// Carries the bytes between the host's terminal and the chip's line, and
// counts the chip's write sessions, until stopFd turns readable, enough
// sessions have ended, or gpsim ends.
RelayEnd RelayUntilDone(const ChipModelOptions& o, const PtyBoard& board, const ChipChannels& channels,
                        GpsimProcess& gpsim, WriteSessions& sessions, int stopFd, const ChipModelLog& log)
{
    for (;;) {
        if (sessions.EndedBy(board.Now())) {
            log(board.Now(), "session " + std::to_string(sessions.Count()) + " ended: " +
                                 std::to_string(sessions.LastRows()) + " rows written");
            if (o.exitAfter != 0 && sessions.Count() >= o.exitAfter) return {"sessions done", 0};
        }
        pollfd fds[5] = {{board.MasterFd(), POLLIN, 0}, {channels.line.Get(), POLLIN, 0},
                         {gpsim.OutputFd(), POLLIN, 0}, {channels.events.Get(), POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, stopFd >= 0 ? 5 : 4, 50);
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "fernbow-sim: poll failed: %s\n", std::strerror(errno));
            return {"stopped", 1};
        }
        if (ready <= 0) continue;
        if (stopFd >= 0 && (fds[4].revents & (POLLIN | POLLHUP))) return {"stopped", 0};
        if (fds[3].revents & POLLIN) {
            char events[256];
            const ssize_t got = ::read(channels.events.Get(), events, sizeof events);
            if (got > 0) sessions.FlashEvents(events, static_cast<size_t>(got), board.Now());
        }
        if ((fds[0].revents & POLLIN) && Relay(board.MasterFd(), channels.line.Get()) > 0)
            sessions.HostBusy(board.Now());
        if ((fds[1].revents & (POLLIN | POLLHUP)) && Relay(channels.line.Get(), board.MasterFd()) < 0)
            return {"the chip model ended", 1};
        if ((fds[2].revents & (POLLIN | POLLHUP)) && !gpsim.ReadOutput()) return {"gpsim ended", 1};
    }
}

// The dump gpsim wrote, copied to where the user asked for it. The plug-in
// renames it into the fresh work folder once whole, so one there is complete.
int CopyDump(const ChipWorkDir& dir, const GpsimOutput& output, const std::string& to)
{
    std::string text, error;
    if (!dir.ReadDump(text))
        return Fail("the chip model wrote no dump; gpsim's last output:\n" + output.Tail());
    if (!WriteFileAtomically(to, text, error)) return Fail("cannot write the dump: " + error);
    return 0;
}

}  // namespace

int RunChipModel(const ChipModelOptions& o, int stopFd, const ChipModelLog& log)
{
    GpsimProcess::PassOnResetSignal();
    ChipModelParts parts;
    ChipWorkDir dir;
    std::string error;
    if (!PrepareChipModel(o, parts, dir, error)) return Fail(error);

    PtyBoard board;
    ComLink link;
    if (!OpenBoardLine(o.com, board, link)) return 1;
    ChipChannels channels;
    GpsimProcess gpsim([&board] { return board.Now(); }, log);
    if (!channels.Open(error) || !StartChipModel(o, parts, dir, board.MasterFd(), channels, gpsim, error))
        return Fail(error);
    channels.HandOver();

    std::printf("%s\n", board.SlavePath().c_str());
    std::fflush(stdout);
    log(board.Now(), std::string(o.chip->name) + " chip model on " + board.SlavePath() +
                         (link.Path().empty() ? "" : " (" + link.Path() + ")") + ", firmware " + parts.firmware +
                         (o.unpaced ? ", unpaced" : ", real time"));

    WriteSessions sessions(o.sessionIdleNs);
    const RelayEnd end = RelayUntilDone(o, board, channels, gpsim, sessions, stopFd, log);
    // Closing the line halts the simulation; gpsim's script dumps and quits.
    channels.line.Reset();
    gpsim.WaitForQuit();
    log(board.Now(), std::string("board ") + end.why + ": " + std::to_string(sessions.Rows()) + " rows written");
    link.Remove();
    board.HangUp();
    if (end.status != 0)
        std::fprintf(stderr, "fernbow-sim: %s unexpectedly; its last output:\n%s", end.why,
                     gpsim.Output().Tail().c_str());
    if (!o.dump.empty() && CopyDump(dir, gpsim.Output(), o.dump) != 0) return 1;
    return end.status;
}
