#include "GpsimProcess.h"
#include "ProcessSpawn.h"
#include "ResetSignal.h"
#include "SignalCatch.h"
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// gpsim writes the dump and quits within this once the line closes.
constexpr int kQuitWaitMs = 10000;

volatile sig_atomic_t g_gpsimPid = 0;
volatile sig_atomic_t g_resetPending = 0;  // asked for before gpsim ran

extern "C" void OnResetSignal(int)
{
    if (g_gpsimPid > 0) ::kill(g_gpsimPid, kResetSignal);
    else g_resetPending = 1;
}
}  // namespace

void GpsimProcess::PassOnResetSignal()
{
    CatchSignal(kResetSignal, OnResetSignal);
}

GpsimProcess::~GpsimProcess()
{
    if (m_pid > 0) Stop();
}

bool GpsimProcess::Start(const GpsimStart& s, std::string& error)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    UniqueFd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
    SpawnOptions options;
    // gpsim reads commands from standard input once the script ends, and
    // spins at its end.
    options.stdinPath = s.input;
    options.stdoutFd = writeEnd.Get();
    options.stderrFd = writeEnd.Get();
    options.descriptors = {{s.line, kGpsimLineFd}, {s.rate, kGpsimRateFd}, {s.events, kGpsimEventFd}};
    options.blockedSignals = {kResetSignal};
    options.defaultSignals = {SIGPIPE};
    const pid_t pid =
        SpawnProcess({s.gpsim, "-i", "-p", s.processor, "-c", s.script, s.firmware}, options);
    if (pid < 0) {
        error = "cannot run " + s.gpsim + ": " + std::strerror(errno);
        return false;
    }
    m_pid = pid;
    m_output = std::move(readEnd);
    ::fcntl(m_output.Get(), F_SETFL, ::fcntl(m_output.Get(), F_GETFL) | O_NONBLOCK);
    g_gpsimPid = pid;
    if (g_resetPending) ::kill(pid, kResetSignal);
    return true;
}

bool GpsimProcess::ReadOutput()
{
    char buffer[1024];
    for (;;) {
        const ssize_t got = ::read(m_output.Get(), buffer, sizeof buffer);
        if (got > 0) {
            m_lines.Add(buffer, static_cast<size_t>(got), m_now(), m_log);
            continue;
        }
        return !(got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR));
    }
}

void GpsimProcess::WaitForQuit()
{
    g_gpsimPid = 0;  // no reset signal for a process about to go
    bool open = true;
    int status = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kQuitWaitMs);
    while (std::chrono::steady_clock::now() < until) {
        if (!open && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        pollfd p{m_output.Get(), POLLIN, 0};
        if (!open) ::poll(nullptr, 0, 20);
        else if (::poll(&p, 1, 100) > 0) open = ReadOutput();
    }
    Stop();
    m_log(m_now(), "gpsim did not quit; killed");
}

void GpsimProcess::Stop()
{
    g_gpsimPid = 0;
    int status = 0;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}
