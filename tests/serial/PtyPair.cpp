#include "PtyPair.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    m_slavePath = name;
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair()
{
    HangUp();
}

void PtyPair::HangUp()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

void PtyPair::Send(const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else {
            pollfd pfd{m_master, POLLOUT, 0};
            if (::poll(&pfd, 1, 2000) <= 0)
                throw std::runtime_error("pty master does not take bytes");
        }
    }
}

std::vector<uint8_t> PtyPair::Receive(size_t want, int waitMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::vector<uint8_t> got;
    uint8_t buf[4096];
    while (got.size() < want) {
        ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            got.insert(got.end(), buf, buf + n);
            continue;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd pfd{m_master, POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(left.count()));
    }
    return got;
}

bool PtyPair::SlaveHasInput(int waitMs)
{
    pollfd pfd{m_slave, POLLIN, 0};
    return ::poll(&pfd, 1, waitMs) > 0 && (pfd.revents & POLLIN);
}

TempConfigHome::TempConfigHome()
{
    char pattern[] = "/tmp/fernbow-serial-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
    ::setenv("XDG_CONFIG_HOME", m_path.c_str(), 1);
}

TempConfigHome::~TempConfigHome()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    ::unsetenv("XDG_CONFIG_HOME");
}
