#include "MonitorTerminal.h"

#include "Console.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

// How long a write waits for the reader at a time before it looks at Ctrl-C
// again (a signal that came just before the wait wakes nothing).
constexpr int kWriteWaitSliceMs = 100;
// Keys kept while a write waits; past this many they are dropped (only
// Ctrl-C is looked for), so that the terminal never stops taking keys.
constexpr size_t kMaxTypedWhileWaiting = 4096;
constexpr uint8_t kCtrlC = 0x03;

// The terminal as it was, for a signal that ends the program at once.
termios g_saved{};

void RestoreSavedTerminal()
{
    (void)::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
}

} // namespace

struct MonitorTerminal::State {
    const std::atomic<bool>* interrupted = nullptr;
    bool raw = false;
    bool keysOpen = true;       // standard input has not ended while a write waited
    std::vector<uint8_t> typed;  // keys read while a write waited, not yet given out
};

MonitorTerminal::MonitorTerminal(const std::atomic<bool>* interrupted) : m_state(new State)
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

MonitorTerminal::~MonitorTerminal()
{
    if (!m_state->raw)
        return;
    RestoreSavedTerminal();
    SetRestoreBeforeAbruptEnd(nullptr);
}

bool MonitorTerminal::RawKeys() const
{
    return m_state->raw;
}

int MonitorTerminal::ReadInput(uint8_t* buffer, size_t count)
{
    std::vector<uint8_t>& typed = m_state->typed;
    if (!typed.empty()) {
        const size_t n = std::min(count, typed.size());
        std::copy(typed.begin(), typed.begin() + static_cast<std::ptrdiff_t>(n), buffer);
        typed.erase(typed.begin(), typed.begin() + static_cast<std::ptrdiff_t>(n));
        return static_cast<int>(n);
    }
    pollfd pfd{STDIN_FILENO, POLLIN, 0};
    if (::poll(&pfd, 1, 0) <= 0)
        return 0;
    const ssize_t n = ::read(STDIN_FILENO, buffer, count);
    if (n > 0)
        return static_cast<int>(n);
    return n == 0 || (errno != EINTR && errno != EAGAIN) ? -1 : 0;
}

MonitorTerminal::Write MonitorTerminal::WriteOutput(const uint8_t* data, size_t count)
{
    State& s = *m_state;
    size_t done = 0;
    while (done < count) {
        if (s.interrupted && *s.interrupted)
            return Write::Interrupted;
        // A reader that takes nothing (| sleep 25) fills the pipe: wait for
        // room in slices rather than in a write that only a signal ends. In
        // raw mode Ctrl-C is a key, so the keys are watched meanwhile.
        pollfd fds[2] = {{STDOUT_FILENO, POLLOUT, 0}, {STDIN_FILENO, POLLIN, 0}};
        const bool watchKeys = s.raw && s.keysOpen;
        if (::poll(fds, watchKeys ? 2 : 1, kWriteWaitSliceMs) < 0)
            return Write::Interrupted;  // a signal: given up, not tried again
        if (watchKeys && fds[1].revents != 0) {
            uint8_t keys[64];
            const ssize_t n = ::read(STDIN_FILENO, keys, sizeof keys);
            s.keysOpen = n > 0 || (n < 0 && errno == EINTR);
            if (n > 0 && std::memchr(keys, kCtrlC, static_cast<size_t>(n)) != nullptr)
                return Write::Interrupted;
            if (n > 0 && s.typed.size() < kMaxTypedWhileWaiting)
                s.typed.insert(s.typed.end(), keys, keys + n);
        }
        if (fds[0].revents == 0)
            continue;
        // A closed pipe (EPIPE), a failed device, or a signal in between.
        const ssize_t n = ::write(STDOUT_FILENO, data + done, count - done);
        if (n < 0 && errno == EINTR)
            return Write::Interrupted;
        if (n <= 0)
            return Write::Closed;
        done += static_cast<size_t>(n);
    }
    return Write::Done;
}
