#include "PtyBoard.h"
#include "LinePty.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <time.h>

namespace {
void SleepNs(uint64_t ns)
{
    timespec t;
    t.tv_sec = static_cast<time_t>(ns / 1000000000ull);
    t.tv_nsec = static_cast<long>(ns % 1000000000ull);
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}
}  // namespace

PtyBoard::PtyBoard() : m_start(std::chrono::steady_clock::now()) {}

uint64_t PtyBoard::Now() const
{
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - m_start).count());
}

bool PtyBoard::Open(std::string& error)
{
    std::string path;
    int slave = -1;
    const int master = OpenLinePty(path, slave, error);
    if (master < 0) return false;
    m_master.Reset(master);
    m_slave.Reset(slave);
    m_slavePath = std::move(path);
    return true;
}

void PtyBoard::HangUp()
{
    m_master.Reset();
    m_slave.Reset();
    m_out.clear();
}

void PtyBoard::SendDue(uint64_t now)
{
    size_t due = 0;
    while (due < m_out.size() && m_out[due].dueNs <= now) ++due;
    if (due == 0) return;
    uint8_t bytes[256];
    size_t n = 0;
    for (size_t i = 0; i < due; ++i) {
        bytes[n++] = m_out[i].byte;
        // A full slave input queue means nobody reads: the bytes are lost,
        // as on a line with no one listening.
        if (n == sizeof bytes || i + 1 == due) {
            ssize_t w;
            do w = ::write(m_master.Get(), bytes, n);
            while (w < 0 && errno == EINTR);
            n = 0;
        }
    }
    m_out.erase(m_out.begin(), m_out.begin() + static_cast<std::ptrdiff_t>(due));
}

void PtyBoard::Attach(BoardProgram* program, ResetControl* reset, Bootloader::LogFn log)
{
    m_program = program;
    m_reset = reset;
    m_log = std::move(log);
}

void PtyBoard::Queue(const std::vector<uint8_t>& bytes, uint64_t start, uint64_t byteNs)
{
    for (uint8_t b : bytes) {
        const uint64_t due = std::max(start, m_outLineFree) + byteNs;
        m_outLineFree = due;
        start = due;
        m_out.push_back({due, b});
    }
}

void PtyBoard::TakeResets(Bootloader& boot)
{
    const std::string pulses = m_reset->TakePulses();
    for (size_t at = 0; at < pulses.size();) {
        size_t end = pulses.find('\n', at);
        if (end == std::string::npos) end = pulses.size();
        const std::string line = pulses.substr(at, end - at);
        at = end + 1;
        if (line != "DTR" && line != "RTS") continue;
        if (m_program) m_program->Reset(boot);
        if (m_log) m_log(Now(), "reset pulse on " + line);
    }
}

PtyBoard::End PtyBoard::Run(Bootloader& boot, uint64_t byteNs, int stopFd, uint32_t exitAfterSessions)
{
    if (!m_master.Valid()) return End::Failed;
    uint64_t inLineFree = 0;   // when the line towards the board is next idle
    bool hangUpPending = false;

    for (;;) {
        uint64_t now = Now();
        SendDue(now);
        if (hangUpPending && m_out.empty()) {
            HangUp();
            return End::HungUp;
        }
        boot.Idle(now);
        if (m_program) Queue(m_program->TakeGreeting(boot), now, byteNs);
        if (exitAfterSessions != 0 && boot.SessionsCompleted() >= exitAfterSessions && m_out.empty())
            return End::SessionsDone;

        uint64_t deadline = boot.NextDeadline();
        if (!m_out.empty()) deadline = std::min(deadline, m_out.front().dueNs);
        int timeoutMs = -1;
        if (deadline != UINT64_MAX) {
            const uint64_t wait = deadline > now ? deadline - now : 0;
            if (wait < 1000000) {
                // poll() counts whole milliseconds; answer bytes are due to
                // the fraction, or a long run drifts behind the line rate.
                if (wait > 0) SleepNs(wait);
                timeoutMs = 0;
            } else {
                timeoutMs = static_cast<int>(std::min<uint64_t>(wait / 1000000, 1000));
            }
        }

        pollfd fds[3] = {{m_master.Get(), POLLIN, 0}, {stopFd, POLLIN, 0}, {m_reset ? m_reset->Fd() : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 3, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return End::Failed;
        }
        if (stopFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP))) return End::Stopped;
        if (fds[2].revents & POLLIN) TakeResets(boot);
        if (fds[0].revents & POLLIN) {
            uint8_t buffer[512];
            const ssize_t got = ::read(m_master.Get(), buffer, sizeof buffer);
            now = Now();
            for (ssize_t i = 0; i < got; ++i) {
                // A byte arrives one byte time after the line is free for it.
                const uint64_t arrival = std::max(now, inLineFree) + byteNs;
                inLineFree = arrival;
                const BootReply reply = m_program && m_program->Running(boot) ? m_program->Feed(buffer[i])
                                                                              : boot.Feed(buffer[i], arrival);
                Queue(reply.bytes, arrival + reply.delayNs, byteNs);
                hangUpPending = hangUpPending || reply.hangUp;
            }
            if (got < 0 && errno != EAGAIN && errno != EINTR) SleepNs(20000000);
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Not expected while the board holds its own slave; never spin on it.
            SleepNs(20000000);
        }
    }
}
