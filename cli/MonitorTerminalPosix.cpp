#include "MonitorTerminal.h"

#include "Console.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// How long a write waits for the reader at a time before it looks at Ctrl-C
// again (a signal that came just before the wait wakes nothing).
constexpr int kWriteWaitSliceMs = 100;

// The terminal as it was, for a signal that ends the program at once.
termios g_saved{};

void RestoreSavedTerminal()
{
    (void)::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
}

} // namespace

struct CMonitorTerminal::State {
    const std::atomic<bool>* interrupted = nullptr;
    bool raw = false;
};

CMonitorTerminal::CMonitorTerminal(const std::atomic<bool>* interrupted) : m_state(new State)
{
    m_state->interrupted = interrupted;
    if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &g_saved) != 0)
        return;
    termios raw = g_saved;
    // Keys go out as typed (Ctrl-C included, as a byte) and the board's
    // bytes reach the screen unchanged: no "\n" -> "\r\n" either.
    ::cfmakeraw(&raw);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // Known before the switch, so no moment is left in which a signal would
    // leave the terminal raw.
    SetRestoreBeforeAbruptEnd(RestoreSavedTerminal);
    m_state->raw = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) == 0;
    if (!m_state->raw)
        SetRestoreBeforeAbruptEnd(nullptr);
}

CMonitorTerminal::~CMonitorTerminal()
{
    if (!m_state->raw)
        return;
    RestoreSavedTerminal();
    SetRestoreBeforeAbruptEnd(nullptr);
}

bool CMonitorTerminal::RawKeys() const
{
    return m_state->raw;
}

int CMonitorTerminal::ReadInput(uint8_t* buffer, size_t count)
{
    pollfd pfd{STDIN_FILENO, POLLIN, 0};
    if (::poll(&pfd, 1, 0) <= 0)
        return 0;
    const ssize_t n = ::read(STDIN_FILENO, buffer, count);
    if (n > 0)
        return static_cast<int>(n);
    return n == 0 || (errno != EINTR && errno != EAGAIN) ? -1 : 0;
}

bool CMonitorTerminal::WriteOutput(const uint8_t* data, size_t count)
{
    size_t done = 0;
    while (done < count) {
        if (m_state->interrupted && *m_state->interrupted)
            return false;
        // A reader that takes nothing (| sleep 25) fills the pipe: wait for
        // room in slices rather than in a write that only a signal ends.
        pollfd pfd{STDOUT_FILENO, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, kWriteWaitSliceMs);
        if (ready < 0)
            return false;  // a signal: given up, not tried again
        if (ready == 0)
            continue;
        // A closed pipe (EPIPE), a failed device, or a signal in between.
        const ssize_t n = ::write(STDOUT_FILENO, data + done, count - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}
