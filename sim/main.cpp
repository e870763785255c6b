// fernbow-sim: a PIC16F819 / PIC16F88 bootloader on a pseudo-terminal.
#include "BoardProgram.h"
#include "Bootloader.h"
#include "ChipModel.h"
#include "ComLink.h"
#include "FlashModel.h"
#include "AtomicFile.h"
#include "IntelHexWriter.h"
#include "PtyBoard.h"
#include "SimOptions.h"
#include "ResetControl.h"
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

int g_stopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int)
{
    const int saved = errno;
    const char b = 1;
    [[maybe_unused]] ssize_t w = ::write(g_stopPipe[1], &b, 1);
    errno = saved;
}

bool InstallStopSignals()
{
    if (::pipe(g_stopPipe) != 0) return false;
    for (int fd : g_stopPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}


// One board's life: its pty, its COMn link, its flash. more tells whether a
// fresh board is to follow (--boards). Returns the exit status so far.
int RunBoard(const SimOptions& o, uint32_t number, const BootTiming& timing, const Bootloader::LogFn& logLine, bool& more)
{
    more = false;
    PtyBoard board;
    ComLink link;
    if (!OpenBoardLine(o.com, board, link)) return 1;
    std::string error;

    ResetControl reset;
    if (o.resetControl && !reset.Create(o.com, error)) {
        std::fprintf(stderr, "fernbow-sim: cannot make the reset control: %s\n", error.c_str());
        return 1;
    }

    FlashModel flash(*o.chip);
    const bool faulty = o.faultyBoard == 0 || o.faultyBoard == number;
    Bootloader boot(flash, faulty ? o.faults : BootFaults{}, timing, logLine);
    BoardProgram program(o.echo);
    board.Attach(&program, o.resetControl ? &reset : nullptr, logLine);

    std::printf("%s\n", board.SlavePath().c_str());
    std::fflush(stdout);
    logLine(board.Now(), std::string(o.chip->name) + " board" + (o.boards ? " " + std::to_string(number) : "") +
                             " on " + board.SlavePath() + (link.Path().empty() ? "" : " (" + link.Path() + ")") +
                             (o.instant ? ", instant" : ", 19200 baud"));

    const PtyBoard::End end = board.Run(boot, o.instant ? 0 : PtyBoard::kByteNs19200, g_stopPipe[0],
                                        o.boards ? 1 : o.exitAfter);
    const char* why = end == PtyBoard::End::Stopped ? "stopped" : end == PtyBoard::End::HungUp ? "hung up"
                    : end == PtyBoard::End::SessionsDone ? "sessions done" : "line failed";
    logLine(board.Now(), std::string("board ") + why + ": " + std::to_string(boot.BlocksAccepted()) +
                             " blocks written, " + std::to_string(boot.FramesRefused()) + " frames refused");
    link.Remove();
    // The board leaves: the host sees its line hang up.
    board.HangUp();

    int status = end == PtyBoard::End::Failed ? 1 : 0;
    if (end == PtyBoard::End::Failed) std::fprintf(stderr, "fernbow-sim: the pseudo-terminal failed: %s\n", std::strerror(errno));
    if (!o.dump.empty() && !WriteFileAtomically(o.dump, IntelHexFromWords(flash.AllWords()), error)) {
        std::fprintf(stderr, "fernbow-sim: cannot write the dump: %s\n", error.c_str());
        status = 1;
    }
    more = status == 0 && o.boards != 0 && number < o.boards &&
           (end == PtyBoard::End::SessionsDone || end == PtyBoard::End::HungUp);
    return status;
}
}  // namespace

int main(int argc, char** argv)
{
    SimArgs args = ParseSimArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (!args.error.empty()) {
        std::fprintf(stderr, "fernbow-sim: %s\nTry 'fernbow-sim --help'.\n", args.error.c_str());
        return 2;
    }
    if (args.help) {
        std::fputs(SimUsage(), stdout);
        return 0;
    }
    SimOptions& o = args.options;

    FILE* log = nullptr;
    if (o.log == "-") {
        log = stderr;
    } else if (!o.log.empty()) {
        log = std::fopen(o.log.c_str(), "a");
        if (!log) {
            std::fprintf(stderr, "fernbow-sim: %s: %s\n", o.log.c_str(), std::strerror(errno));
            return 1;
        }
    }
    auto logLine = [log](uint64_t ns, const std::string& text) {
        if (!log) return;
        std::fprintf(log, "%10.3f ms  %s\n", static_cast<double>(ns) / 1e6, text.c_str());
        std::fflush(log);
    };

    if (!InstallStopSignals()) {
        std::fprintf(stderr, "fernbow-sim: cannot set up signal handling: %s\n", std::strerror(errno));
        return 1;
    }

    if (o.chipModel) {
        o.model.chip = o.chip;
        o.model.com = o.com;
        o.model.dump = o.dump;
        o.model.exitAfter = o.exitAfter;
        o.model.sessionIdleNs = static_cast<uint64_t>(o.idleMs) * 1000000ull;
        const int status = RunChipModel(o.model, g_stopPipe[0], logLine);
        if (log && log != stderr) std::fclose(log);
        return status;
    }

    BootTiming timing;
    timing.flashWriteNs = o.instant ? 0 : static_cast<uint64_t>(o.flashMs) * 1000000ull;
    timing.sessionIdleNs = static_cast<uint64_t>(o.idleMs) * 1000000ull;
    int status = 0;
    for (uint32_t number = 1;; ++number) {
        bool more = false;
        status = RunBoard(o, number, timing, logLine, more);
        if (!more) break;
    }
    if (log && log != stderr) std::fclose(log);
    return status;
}
