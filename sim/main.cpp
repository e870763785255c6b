// fernbow-sim: a PIC16F819 / PIC16F88 bootloader on a pseudo-terminal.
#include "BoardProgram.h"
#include "Bootloader.h"
#include "ChipModel.h"
#include "ComLink.h"
#include "FlashModel.h"
#include "AtomicFile.h"
#include "IntelHexWriter.h"
#include "PtyBoard.h"
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

const char kUsage[] =
    "Usage: fernbow-sim [options]\n"
    "A simulated PIC16F819 or PIC16F88 board with its serial bootloader, on a\n"
    "pseudo-terminal. The first line on standard output is the device path for\n"
    "the host (e.g. fernbow-cli --port PATH FILE.hex). Runs until interrupted.\n"
    "\n"
    "Board:\n"
    "  --chip 819|88        the chip on the board (default 88)\n"
    "  --com N              also appear as COMN: a link in\n"
    "                       ${XDG_CONFIG_HOME:-~/.config}/Corvane/Fernbow/Ports/\n"
    "  --instant            no line or flash timing (default: 19200 baud, 10 bits\n"
    "                       a byte, and the flash write time for every block)\n"
    "  --flash-ms N         flash write time of one block (default 18)\n"
    "  --dump FILE.hex      write the whole program memory (bootloader included)\n"
    "                       as Intel HEX when the board stops\n"
    "  --log FILE|-         log every wake-up and frame (- for standard error)\n"
    "  --exit-after N       stop after N programming sessions (a session ends\n"
    "                       after a silence of --idle-ms once a block was written)\n"
    "  --idle-ms N          silence that ends a session (default 1000)\n"
    "  --boards N           board after board, as on a production bench: each\n"
    "                       board ends its connection after one session and a\n"
    "                       fresh board comes up on a new pseudo-terminal (its\n"
    "                       path printed on a line of its own, COMN moved to it);\n"
    "                       stops after N boards. --dump holds the last board\n"
    "  --faulty-board K     with --boards: the faults below apply to board K only\n"
    "  --echo               once a session has ended the program runs: it greets\n"
    "                       and sends back every byte, until a reset\n"
    "  --reset-control      with --com N: take reset pulses from fernbow-cli\n"
    "                       --reset through a FIFO COMN.reset beside the link (a\n"
    "                       pseudo-terminal has no modem lines); each is logged\n"
    "\n"
    "Faults (blocks are numbered as image byte offset / 64):\n"
    "  --ignore-wakeups N   give no answer to the first N wake-up bytes\n"
    "  --half-answer        answer a wake-up with the chip byte only\n"
    "  --answer X           answer with X instead of the chip byte (a character\n"
    "                       or 0xNN)\n"
    "  --nack B[:K]         answer \"N\" to the first K frames of block B (default 1)\n"
    "  --silent B[:K]       leave K frames of block B unanswered, after any\n"
    "                       --nack refusals (default: all of them)\n"
    "  --garbage B          write block B but answer it with '?'\n"
    "  --hangup-after N     close the line and exit once N blocks were written\n"
    "  --help               this text\n"
    "\n"
    "Chip model (the real bootloader firmware on a simulated chip, in gpsim):\n"
    "  --chip-model         run the firmware in gpsim with Fernbow's plug-in, in\n"
    "                       real time; --chip, --com, --dump, --log, --exit-after\n"
    "                       and --idle-ms apply, the faults above do not.\n"
    "                       SIGUSR1 resets the chip (MCLR)\n"
    "  --firmware FILE.hex  the firmware (default: the one built or installed)\n"
    "  --plugin FILE.so     the gpsim plug-in (default: the one built or installed)\n"
    "  --corrupt N          corrupt the Nth byte the chip receives (from 1)\n"
    "  --drop N             leave out the Nth byte the chip receives\n"
    "  --unpaced            simulated time as fast as gpsim runs\n"
    "\n"
    "Exit status: 0 when stopped (signal, --exit-after, --hangup-after), 1 on a\n"
    "system error (no pseudo-terminal, dump not written), 2 on a usage error.\n";

int g_stopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int)
{
    const int saved = errno;
    const char b = 1;
    [[maybe_unused]] ssize_t w = ::write(g_stopPipe[1], &b, 1);
    errno = saved;
}

struct Options {
    const ChipInfo* chip = &ChipF88();
    int com = -1;
    bool instant = false;
    uint32_t flashMs = 18;
    std::string dump;
    std::string log;
    uint32_t exitAfter = 0;
    uint32_t idleMs = 1000;
    uint32_t boards = 0;       // 0: one board that stays
    uint32_t faultyBoard = 0;  // 0: every board has the faults
    bool echo = false;
    bool resetControl = false;
    BootFaults faults;
    bool chipModel = false;
    ChipModelOptions model;
    std::string ownModelOption;  // the last option that needs the bootloader model
};

bool ParseNumber(const std::string& text, uint32_t& value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFul) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// "B" or "B:K"
bool ParseBlockCount(const std::string& text, uint32_t& block, uint32_t& count, uint32_t defaultCount)
{
    const size_t colon = text.find(':');
    count = defaultCount;
    if (colon == std::string::npos) return ParseNumber(text, block);
    return ParseNumber(text.substr(0, colon), block) && ParseNumber(text.substr(colon + 1), count);
}

bool ParseAnswerByte(const std::string& text, int& value)
{
    if (text.size() == 1) {
        value = static_cast<unsigned char>(text[0]);
        return true;
    }
    uint32_t v = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && ParseNumber(text, v) && v <= 0xFF) {
        value = static_cast<int>(v);
        return true;
    }
    return false;
}

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "fernbow-sim: %s\nTry 'fernbow-sim --help'.\n", message.c_str());
    return 2;
}

// 0 on success, else the exit status.
int ParseOptions(int argc, char** argv, Options& o, bool& help)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        uint32_t n = 0, k = 0;
        if (arg == "--help" || arg == "-h") {
            help = true;
            return 0;
        } else if (arg == "--instant") {
            o.instant = true;
        } else if (arg == "--half-answer") {
            o.faults.halfAnswer = true;
            o.ownModelOption = arg;
        } else if (arg == "--echo") {
            o.echo = true;
        } else if (arg == "--reset-control") {
            o.resetControl = true;
        } else if (arg == "--chip-model") {
            o.chipModel = true;
        } else if (arg == "--unpaced") {
            o.model.unpaced = true;
        } else if (!value(v)) {
            if (arg.rfind("--", 0) == 0 && arg != "--")
                return UsageError(arg == "--chip" || arg == "--com" || arg == "--flash-ms" || arg == "--dump" ||
                                          arg == "--log" || arg == "--exit-after" || arg == "--idle-ms" ||
                                          arg == "--boards" || arg == "--faulty-board" ||
                                          arg == "--ignore-wakeups" || arg == "--answer" || arg == "--nack" ||
                                          arg == "--silent" || arg == "--garbage" || arg == "--hangup-after" ||
                                          arg == "--firmware" || arg == "--plugin" || arg == "--corrupt" ||
                                          arg == "--drop"
                                      ? arg + " needs a value"
                                      : "unknown option " + arg);
            return UsageError("unexpected argument " + arg);
        } else if (arg == "--chip") {
            if (v == "819" || v == "16f819" || v == "PIC16F819") o.chip = &ChipF819();
            else if (v == "88" || v == "16f88" || v == "PIC16F88") o.chip = &ChipF88();
            else return UsageError("--chip takes 819 or 88, not " + v);
        } else if (arg == "--com") {
            if (!ParseNumber(v, n) || n > 255) return UsageError("--com takes a port number, not " + v);
            o.com = static_cast<int>(n);
        } else if (arg == "--flash-ms") {
            if (!ParseNumber(v, n) || n > 10000) return UsageError("--flash-ms takes 0 to 10000, not " + v);
            o.flashMs = n;
        } else if (arg == "--dump") {
            o.dump = v;
        } else if (arg == "--log") {
            o.log = v;
        } else if (arg == "--exit-after") {
            if (!ParseNumber(v, n) || n == 0) return UsageError("--exit-after takes a number of sessions, not " + v);
            o.exitAfter = n;
        } else if (arg == "--idle-ms") {
            if (!ParseNumber(v, n) || n == 0 || n > 3600000) return UsageError("--idle-ms takes 1 to 3600000, not " + v);
            o.idleMs = n;
        } else if (arg == "--boards") {
            if (!ParseNumber(v, n) || n == 0) return UsageError("--boards takes a number of boards, not " + v);
            o.boards = n;
        } else if (arg == "--faulty-board") {
            if (!ParseNumber(v, n) || n == 0) return UsageError("--faulty-board takes a board number, not " + v);
            o.faultyBoard = n;
        } else if (arg == "--ignore-wakeups") {
            if (!ParseNumber(v, n)) return UsageError("--ignore-wakeups takes a count, not " + v);
            o.faults.ignoreWakeups = n;
        } else if (arg == "--answer") {
            if (!ParseAnswerByte(v, o.faults.answerByte)) return UsageError("--answer takes one character or 0xNN, not " + v);
        } else if (arg == "--nack") {
            if (!ParseBlockCount(v, n, k, 1)) return UsageError("--nack takes BLOCK or BLOCK:COUNT, not " + v);
            o.faults.nacks[n] = k;
        } else if (arg == "--silent") {
            if (!ParseBlockCount(v, n, k, 0)) return UsageError("--silent takes BLOCK or BLOCK:COUNT, not " + v);
            o.faults.silences[n] = k;
        } else if (arg == "--garbage") {
            if (!ParseNumber(v, n)) return UsageError("--garbage takes a block number, not " + v);
            o.faults.garbage.insert(n);
        } else if (arg == "--hangup-after") {
            if (!ParseNumber(v, n)) return UsageError("--hangup-after takes a number of blocks, not " + v);
            o.faults.hangUpAfter = n;
        } else if (arg == "--firmware") {
            o.model.firmware = v;
        } else if (arg == "--plugin") {
            o.model.plugin = v;
        } else if (arg == "--corrupt" || arg == "--drop") {
            if (!ParseNumber(v, n) || n == 0) return UsageError(arg + " takes a byte number from 1, not " + v);
            (arg == "--corrupt" ? o.model.corruptByte : o.model.dropByte) = n;
        } else {
            return UsageError("unknown option " + arg);
        }
        if (arg == "--instant" || arg == "--flash-ms" || arg == "--boards" || arg == "--faulty-board" ||
            arg == "--ignore-wakeups" || arg == "--answer" || arg == "--nack" || arg == "--silent" ||
            arg == "--garbage" || arg == "--hangup-after" || arg == "--echo" || arg == "--reset-control")
            o.ownModelOption = arg;
    }
    if (o.resetControl && o.com < 0) return UsageError("--reset-control goes with --com N");
    if (o.chipModel && !o.ownModelOption.empty())
        return UsageError(o.ownModelOption + " is for the bootloader model, not --chip-model");
    if (!o.chipModel && (!o.model.firmware.empty() || !o.model.plugin.empty() || o.model.corruptByte ||
                         o.model.dropByte || o.model.unpaced))
        return UsageError("--firmware, --plugin, --corrupt, --drop and --unpaced need --chip-model");
    return 0;
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
int RunBoard(const Options& o, uint32_t number, const BootTiming& timing, const Bootloader::LogFn& logLine, bool& more)
{
    more = false;
    PtyBoard board;
    std::string error;
    if (!board.Open(error)) {
        std::fprintf(stderr, "fernbow-sim: %s\n", error.c_str());
        return 1;
    }
    ComLink link;
    if (o.com >= 0 && !link.Create(o.com, board.SlavePath(), error)) {
        std::fprintf(stderr, "fernbow-sim: cannot make COM%d: %s\n", o.com, error.c_str());
        return 1;
    }

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
    Options o;
    bool help = false;
    if (int status = ParseOptions(argc, argv, o, help)) return status;
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

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
