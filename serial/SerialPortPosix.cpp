#include "SerialPort.h"

#include "ComPortMap.h"
#include "ErrnoText.h"
#include "SerialDevicePosix.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kReadTimeout = std::chrono::milliseconds(5);
constexpr auto kWriteTimeout = std::chrono::milliseconds(100);

// Milliseconds left until deadline, rounded up so that poll() never wakes
// early and turns the wait into a busy loop; 0 when it has passed.
int MillisecondsLeft(Clock::time_point deadline)
{
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
    return static_cast<int>((us + 999) / 1000);
}

// Raw 19200 8N1, no handshake, no character translation; reads never block
// in the driver (VMIN = VTIME = 0), poll() does the waiting. Refusals are
// ignored: the port counts as open once the device itself has opened.
void ConfigureLine(int fd)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        (void)::tcsetattr(fd, TCSANOW, &tio);
    }
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &dtr);
    (void)::ioctl(fd, TIOCMBIC, &rts);
}

bool IsHangUp(short revents)
{
    return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (revents & POLLIN) == 0;
}

} // namespace

// Nothing beyond the descriptor: termios is set whole at every open.
struct CSerialPort::LineState {};

CSerialPort::CSerialPort(CLineSettings& settings) : m_settings(settings) {}

CSerialPort::~CSerialPort()
{
    Close();
}

int CSerialPort::Open()
{
    if (IsOpen())
        return 1;
    Close();  // what is left of a lost line
    ResolveLine();
    UniqueFd fd = OpenSerialDeviceExclusive(m_strDevicePath, m_lastError);
    if (!fd.Valid()) {
        m_hComm = -1;
        return 0;
    }
    (void)::tcflush(fd.Get(), TCIOFLUSH);
    ConfigureLine(fd.Get());
    m_hComm = fd.Release();
    m_bOpen = 1;
    m_bLineLost = false;
    return 1;
}

int CSerialPort::Close()
{
    if (!m_bOpen)
        return 0;
    int fd = static_cast<int>(m_hComm);
    // Lets the next opener in even while another handle keeps the tty alive.
    (void)::ioctl(fd, TIOCNXCL);
    int result = ::close(fd) == 0 ? 1 : 0;
    m_bOpen = 0;
    return result;
}

int CSerialPort::Read(uint8_t* buffer, uint32_t count)
{
    if (!m_bOpen || count == 0)
        return 0;
    const int fd = static_cast<int>(m_hComm);
    const auto deadline = Clock::now() + kReadTimeout;
    uint32_t got = 0;
    bool hungUp = false;
    int error = 0;  // what the system said of it, when it said anything
    bool pollSaidReadable = false;
    while (got < count) {
        ssize_t n = ::read(fd, buffer + got, count - got);
        if (n > 0) {
            got += static_cast<uint32_t>(n);
            pollSaidReadable = false;
            continue;
        }
        // In raw mode a read of 0 only means nothing has come yet, unless
        // poll has just called the line readable: then it is the end of it.
        if ((n == 0 && pollSaidReadable) ||
            (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            hungUp = true;
            error = n < 0 ? errno : 0;
            break;
        }
        int left = MillisecondsLeft(deadline);
        if (left == 0)
            break;
        pollfd pfd{fd, POLLIN, 0};
        int r = ::poll(&pfd, 1, left);
        if (r < 0 && errno != EINTR) {
            hungUp = true;
            error = errno;
            break;
        }
        if (r > 0 && IsHangUp(pfd.revents)) {
            hungUp = true;
            break;
        }
        pollSaidReadable = r > 0 && (pfd.revents & POLLIN) != 0;
    }
    // A line that has gone away answers every poll at once; sleeping out the
    // time keeps the engine's wait loops from spinning the processor.
    if (hungUp) {
        Failed(PortStatus::Lost, error != 0 ? ErrnoText(error) : "the line hung up");
        auto left = deadline - Clock::now();
        if (left > Clock::duration::zero())
            std::this_thread::sleep_for(left);
    }
    return static_cast<int>(got);
}

int CSerialPort::Write(const uint8_t* buffer, uint32_t count)
{
    if (!IsOpen())
        return 0;
    // Whatever arrived before this write (a late answer, an echo, noise) must
    // not be taken as the answer to it.
    (void)::tcflush(static_cast<int>(m_hComm), TCIOFLUSH);
    return WriteThrough(buffer, count).Ok() ? 1 : 0;
}

PortResult CSerialPort::WriteThrough(const uint8_t* buffer, uint32_t count)
{
    if (!IsOpen())
        return NotOpen();
    const int fd = static_cast<int>(m_hComm);
    const auto deadline = Clock::now() + kWriteTimeout;
    uint32_t written = 0;
    while (written < count) {
        ssize_t n = ::write(fd, buffer + written, count - written);
        if (n > 0) {
            written += static_cast<uint32_t>(n);
            continue;
        }
        // A write that fails outright (EIO once the far end has hung up),
        // or a line that polls as hung up, has gone away; a full line that
        // takes nothing for 100 ms has not.
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return Failed(PortStatus::Lost, ErrnoText(errno));
        int left = MillisecondsLeft(deadline);
        if (left == 0)
            return Failed(PortStatus::Timeout, "the line took nothing for 100 ms");
        pollfd pfd{fd, POLLOUT, 0};
        int r = ::poll(&pfd, 1, left);
        if (r < 0 && errno != EINTR)
            return Failed(PortStatus::Lost, ErrnoText(errno));
        if (r > 0 && (pfd.revents & POLLOUT) == 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return Failed(PortStatus::Lost, "the line hung up");
    }
    return PortResult{};
}
