#include "MonitorTerminal.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

struct CMonitorTerminal::State {
    bool raw = false;
    termios saved{};
};

CMonitorTerminal::CMonitorTerminal() : m_state(new State)
{
    if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &m_state->saved) == 0) {
        termios raw = m_state->saved;
        // Keys go out as typed (Ctrl-C included, as a byte) and the board's
        // bytes reach the screen unchanged: no "\n" -> "\r\n" either.
        ::cfmakeraw(&raw);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        m_state->raw = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) == 0;
    }
}

CMonitorTerminal::~CMonitorTerminal()
{
    if (m_state->raw)
        (void)::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_state->saved);
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

void CMonitorTerminal::WriteOutput(const uint8_t* data, size_t count)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(STDOUT_FILENO, data + done, count - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR)
            return;  // a closed pipe: the board's output has nowhere to go
    }
}
