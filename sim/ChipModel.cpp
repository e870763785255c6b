#include "ChipModel.h"
#include "AtomicFile.h"
#include "ChipModelSetup.h"
#include "ComLink.h"
#include "PtyBoard.h"
#include "UniqueFd.h"
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// The line's descriptor inside gpsim.
constexpr int kLineFd = 3;
constexpr int kRateFd = 4;  // the host's pseudo-terminal, for its line rate
constexpr int kEventFd = 5; // the plug-in's flash events: E a row erased, W a group written
// gpsim writes the dump and quits within this once the line closes.
constexpr int kQuitWaitMs = 10000;

volatile sig_atomic_t g_gpsimPid = 0;
volatile sig_atomic_t g_resetPending = 0;  // asked for before gpsim ran

extern "C" void OnResetSignal(int)
{
    if (g_gpsimPid > 0) ::kill(g_gpsimPid, SIGUSR1);
    else g_resetPending = 1;
}

// From the start: a reset asked for while the chip model is being set up
// is passed on once gpsim runs, and never ends fernbow-sim.
void CatchResetSignal()
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnResetSignal;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGUSR1, &sa, nullptr);
}

bool WriteText(const std::string& path, const std::string& text)
{
    std::ofstream f(path);
    f << text;
    return static_cast<bool>(f);
}

// A temporary folder for the script and the dump, removed with the object.
class WorkDir {
public:
    bool Make()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/fernbow-chip.XXXXXX";
        if (!::mkdtemp(pattern.data())) return false;
        m_path = pattern;
        return true;
    }
    ~WorkDir()
    {
        if (m_path.empty()) return;
        for (const char* f : {"/chip.stc", "/quit.txt", "/flash.hex", "/flash.hex.tmp"}) ::unlink((m_path + f).c_str());
        ::rmdir(m_path.c_str());
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// gpsim, started with the line on kLineFd and the host's terminal on
// kRateFd, its output on a pipe.
struct Gpsim {
    pid_t pid = -1;
    UniqueFd output;
};

bool StartGpsim(const std::string& gpsim, const ChipInfo& chip, const std::string& firmware, const WorkDir& dir,
                int lineFd, int rateFd, int eventFd, Gpsim& out, std::string& error)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    UniqueFd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
    // gpsim reads commands from stdin once the script ends, and spins at its end.
    UniqueFd quit(::open((dir.Path() + "/quit.txt").c_str(), O_RDONLY | O_CLOEXEC));
    if (!quit.Valid()) {
        error = std::string("cannot open the quit file: ") + std::strerror(errno);
        return false;
    }
    const std::string script = dir.Path() + "/chip.stc";
    const std::string processor = GpsimProcessor(chip);
    const pid_t pid = ::fork();
    if (pid < 0) {
        error = std::string("cannot start gpsim: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        ::dup2(quit.Get(), 0);
        ::dup2(writeEnd.Get(), 1);
        ::dup2(writeEnd.Get(), 2);
        // Out of the way first, so that neither lands on the other's number.
        const int line = ::fcntl(lineFd, F_DUPFD_CLOEXEC, 10);
        const int rate = ::fcntl(rateFd, F_DUPFD_CLOEXEC, 10);
        const int events = ::fcntl(eventFd, F_DUPFD_CLOEXEC, 10);
        ::dup2(line, kLineFd);
        ::dup2(rate, kRateFd);
        ::dup2(events, kEventFd);
        ::signal(SIGPIPE, SIG_DFL);
        // The reset signal is meant for the plug-in: until its handler is in
        // place (it unblocks the signal then) a reset waits instead of
        // ending gpsim.
        ::signal(SIGUSR1, SIG_DFL);
        sigset_t reset;
        sigemptyset(&reset);
        sigaddset(&reset, SIGUSR1);
        ::sigprocmask(SIG_BLOCK, &reset, nullptr);
        ::execl(gpsim.c_str(), "gpsim", "-i", "-p", processor.c_str(), "-c", script.c_str(), firmware.c_str(),
                static_cast<char*>(nullptr));
        std::fprintf(stderr, "cannot run %s: %s\n", gpsim.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    out.pid = pid;
    out.output = std::move(readEnd);
    ::fcntl(out.output.Get(), F_SETFL, ::fcntl(out.output.Get(), F_GETFL) | O_NONBLOCK);
    return true;
}

// Copies everything readable from one descriptor to another. false when the
// source has ended.
bool Relay(int from, int to, const std::function<void(const uint8_t*, size_t)>& seen)
{
    uint8_t buffer[512];
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got == 0) return false;
    if (got < 0) return errno == EAGAIN || errno == EINTR || errno == EIO;
    seen(buffer, static_cast<size_t>(got));
    size_t done = 0;
    while (done < static_cast<size_t>(got)) {
        const ssize_t w = ::write(to, buffer + done, static_cast<size_t>(got) - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;  // a full line: the bytes are lost, as on a wire nobody reads
        done += static_cast<size_t>(w);
    }
    return true;
}

// gpsim's output, line by line: the plug-in's lines go to the log; the rest
// is kept for the error report.
class OutputLines {
public:
    void Add(const char* data, size_t n, uint64_t now, const ChipModelLog& log)
    {
        m_partial.append(data, n);
        size_t eol;
        while ((eol = m_partial.find('\n')) != std::string::npos) {
            std::string line = m_partial.substr(0, eol);
            m_partial.erase(0, eol + 1);
            if (line.find("fernbow_") != std::string::npos) log(now, "chip model: " + line);
            // gpsim's only way to say that a line of our script failed: the
            // model would run without that part (a pin left unattached).
            if (line.find("***ERROR") != std::string::npos)
                std::fprintf(stderr, "fernbow-sim: gpsim refused part of the chip model: %s\n", line.c_str());
            // Firmware the chip would fail on: said where the user looks.
            if (line.find("fernbow_flash: violation") != std::string::npos)
                std::fprintf(stderr, "fernbow-sim: %s\n", line.c_str());
            if (line.find("fernbow_flash: dump written") != std::string::npos) m_dumped = true;
            m_tail.push_back(line);
            if (m_tail.size() > 12) m_tail.erase(m_tail.begin());
        }
    }
    bool Dumped() const { return m_dumped; }
    std::string Tail() const
    {
        std::string s;
        for (const auto& l : m_tail) s += "  " + l + "\n";
        return s;
    }

private:
    std::string m_partial;
    std::vector<std::string> m_tail;
    bool m_dumped = false;
};

bool DrainOutput(int fd, OutputLines& lines, uint64_t now, const ChipModelLog& log)
{
    char buffer[1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            lines.Add(buffer, static_cast<size_t>(got), now, log);
            continue;
        }
        return !(got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR));
    }
}

// Waits for gpsim to end after the line closed, reading its last output.
void WaitForGpsim(Gpsim& g, OutputLines& lines, const PtyBoard& board, const ChipModelLog& log)
{
    g_gpsimPid = 0;  // no reset signal for a process about to go
    bool open = true;
    int status = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kQuitWaitMs);
    while (std::chrono::steady_clock::now() < until) {
        if (!open && ::waitpid(g.pid, &status, WNOHANG) == g.pid) {
            g.pid = -1;
            break;
        }
        pollfd p{g.output.Get(), POLLIN, 0};
        if (!open) ::poll(nullptr, 0, 20);
        else if (::poll(&p, 1, 100) > 0) open = DrainOutput(g.output.Get(), lines, board.Now(), log);
    }
    if (g.pid > 0) {
        ::kill(g.pid, SIGKILL);
        ::waitpid(g.pid, &status, 0);
        log(board.Now(), "gpsim did not quit; killed");
    }
    g.pid = -1;
}
}  // namespace

int RunChipModel(const ChipModelOptions& o, int stopFd, const ChipModelLog& log)
{
    CatchResetSignal();
    std::string missing;
    const std::string gpsim = FindGpsim(missing);
    const std::string plugin = gpsim.empty() ? "" : FindPlugin(o.plugin, missing);
    const std::string firmware = plugin.empty() ? "" : FindFirmware(*o.chip, o.firmware, missing);
    if (firmware.empty()) {
        std::fprintf(stderr, "fernbow-sim: %s\n", missing.c_str());
        return 1;
    }

    WorkDir dir;
    if (!dir.Make()) {
        std::fprintf(stderr, "fernbow-sim: cannot make a temporary folder: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string dumpPath = o.dump.empty() ? "" : dir.Path() + "/flash.hex";
    if (!WriteText(dir.Path() + "/chip.stc", ChipModelScript(o, plugin, kLineFd, kRateFd, kEventFd, dumpPath)) ||
        !WriteText(dir.Path() + "/quit.txt", "quit\n")) {
        std::fprintf(stderr, "fernbow-sim: cannot write the gpsim script in %s\n", dir.Path().c_str());
        return 1;
    }

    PtyBoard board;
    ComLink link;
    if (!OpenBoardLine(o.com, board, link)) return 1;
    std::string error;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        std::fprintf(stderr, "fernbow-sim: cannot make a socket pair: %s\n", std::strerror(errno));
        return 1;
    }
    UniqueFd line(pair[0]), chipEnd(pair[1]);
    int eventFds[2];
    if (::pipe2(eventFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "fernbow-sim: cannot make a pipe: %s\n", std::strerror(errno));
        return 1;
    }
    // Non-blocking at both ends: a full pipe costs events, never a stalled chip.
    UniqueFd events(eventFds[0]), chipEvents(eventFds[1]);
    Gpsim g;
    if (!StartGpsim(gpsim, *o.chip, firmware, dir, chipEnd.Get(), board.MasterFd(), chipEvents.Get(), g, error)) {
        std::fprintf(stderr, "fernbow-sim: %s\n", error.c_str());
        return 1;
    }
    chipEnd.Reset();
    chipEvents.Reset();
    g_gpsimPid = g.pid;
    // gpsim holds the signal until the plug-in can take it.
    if (g_resetPending) ::kill(g.pid, SIGUSR1);
    ::fcntl(line.Get(), F_SETFL, ::fcntl(line.Get(), F_GETFL) | O_NONBLOCK);

    std::printf("%s\n", board.SlavePath().c_str());
    std::fflush(stdout);
    log(board.Now(), std::string(o.chip->name) + " chip model on " + board.SlavePath() +
                         (link.Path().empty() ? "" : " (" + link.Path() + ")") + ", firmware " + firmware +
                         (o.unpaced ? ", unpaced" : ", real time"));

    OutputLines lines;
    // A session is what the chip itself wrote: rows erased and groups
    // programmed, told by the plug-in. It ends once neither the flash nor the
    // host has been busy for sessionIdleNs; what the chip sends (a program
    // printing "OK") neither starts nor prolongs one.
    uint64_t lastActivity = 0;
    uint32_t rowsThisSession = 0, rows = 0, sessions = 0;
    bool writing = false;
    const char* why = "stopped";
    int status = 0;
    for (;;) {
        const uint64_t now = board.Now();
        if (writing && now - lastActivity >= o.sessionIdleNs) {
            ++sessions;
            log(now, "session " + std::to_string(sessions) + " ended: " + std::to_string(rowsThisSession) +
                         " rows written");
            rowsThisSession = 0;
            writing = false;
            if (o.exitAfter != 0 && sessions >= o.exitAfter) {
                why = "sessions done";
                break;
            }
        }
        pollfd fds[5] = {{board.MasterFd(), POLLIN, 0}, {line.Get(), POLLIN, 0}, {g.output.Get(), POLLIN, 0},
                         {events.Get(), POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, stopFd >= 0 ? 5 : 4, 50);
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "fernbow-sim: poll failed: %s\n", std::strerror(errno));
            status = 1;
            break;
        }
        if (ready <= 0) continue;
        if (stopFd >= 0 && (fds[4].revents & (POLLIN | POLLHUP))) break;
        if (fds[3].revents & POLLIN) {
            char buffer[256];
            const ssize_t got = ::read(events.Get(), buffer, sizeof buffer);
            for (ssize_t i = 0; i < got; ++i) {
                writing = true;
                lastActivity = board.Now();
                if (buffer[i] == 'E') ++rowsThisSession, ++rows;
            }
        }
        if (fds[0].revents & POLLIN)
            Relay(board.MasterFd(), line.Get(), [&](const uint8_t*, size_t) { lastActivity = board.Now(); });
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            const bool open = Relay(line.Get(), board.MasterFd(), [](const uint8_t*, size_t) {});
            if (!open) {
                why = "the chip model ended";
                status = 1;
                break;
            }
        }
        if ((fds[2].revents & (POLLIN | POLLHUP)) && !DrainOutput(g.output.Get(), lines, board.Now(), log)) {
            why = "gpsim ended";
            status = 1;
            break;
        }
    }

    // Closing the line halts the simulation; gpsim's script dumps and quits.
    line.Reset();
    WaitForGpsim(g, lines, board, log);
    log(board.Now(), std::string("board ") + why + ": " + std::to_string(rows) + " rows written");
    link.Remove();
    board.HangUp();
    if (status != 0) std::fprintf(stderr, "fernbow-sim: %s unexpectedly; its last output:\n%s", why, lines.Tail().c_str());

    if (!o.dump.empty()) {
        std::ifstream in(dumpPath);
        std::stringstream text;
        text << in.rdbuf();
        if (!lines.Dumped() || !in || text.str().empty()) {
            std::fprintf(stderr, "fernbow-sim: the chip model wrote no dump; gpsim's last output:\n%s", lines.Tail().c_str());
            return 1;
        }
        if (!WriteFileAtomically(o.dump, text.str(), error)) {
            std::fprintf(stderr, "fernbow-sim: cannot write the dump: %s\n", error.c_str());
            return 1;
        }
    }
    return status;
}
