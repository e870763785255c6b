#include "TcpSocket.h"

#include "ErrnoText.h"
#include "TcpPlatform.h"
#include "UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

using tcp::Clock;
using tcp::MillisecondsLeft;

namespace {

// Waits for events on fd until deadline; the revents, or 0 when the time ran out.
short WaitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd pfd{fd, events, 0};
        const int r = ::poll(&pfd, 1, MillisecondsLeft(deadline));
        if (r > 0)
            return pfd.revents;
        if (r == 0 || errno != EINTR)
            return r == 0 ? 0 : POLLERR;
    }
}

// One address of the list: a non-blocking connect bounded by deadline.
UniqueFd ConnectOne(const addrinfo& address, Clock::time_point deadline, int& error)
{
    UniqueFd fd(::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address.ai_protocol));
    if (!fd.Valid()) {
        error = errno;
        return UniqueFd();
    }
    if (::connect(fd.Get(), address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            error = errno;
            return UniqueFd();
        }
        if (WaitFor(fd.Get(), POLLOUT, deadline) == 0) {
            error = ETIMEDOUT;
            return UniqueFd();
        }
        socklen_t length = sizeof error;
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        if (error != 0)
            return UniqueFd();
    }
    const int on = 1;
    (void)::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

} // namespace

namespace tcp {

bool StartNetwork(PortResult&)
{
    return true;
}

Lookup LookUp(const std::string& host, const std::string& port, bool numericOnly)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : 0);
    addrinfo* list = nullptr;
    Lookup found;
    found.code = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    if (found.code == 0)
        found.list.reset(list, ::freeaddrinfo);
    return found;
}

bool IsNotNumeric(int lookupCode)
{
    return lookupCode == EAI_NONAME;
}

std::string LookUpErrorText(int lookupCode)
{
    return ::gai_strerror(lookupCode);
}

intptr_t ConnectFirst(const addrinfo* list, Clock::time_point deadline, int& error)
{
    UniqueFd fd;
    for (const addrinfo* a = list; a != nullptr && !fd.Valid() && MillisecondsLeft(deadline) > 0; a = a->ai_next)
        fd = ConnectOne(*a, deadline, error);
    return fd.Valid() ? fd.Release() : kNoSocket;
}

PortStatus ConnectStatus(int error)
{
    return error == ETIMEDOUT ? PortStatus::Timeout : error == ECONNREFUSED ? PortStatus::Refused : PortStatus::Other;
}

std::string SocketErrorText(int error)
{
    return ErrnoText(error);
}

} // namespace tcp

CTcpSocket::~CTcpSocket()
{
    UniqueFd close(static_cast<int>(m_socket));
}

StreamIo CTcpSocket::SendSome(const uint8_t* data, size_t count, int timeoutMs)
{
    const int fd = static_cast<int>(m_socket);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    StreamIo io;
    size_t sent = 0;
    while (sent < count) {
        // MSG_NOSIGNAL: a closed connection is an error here, not SIGPIPE.
        const ssize_t n = ::send(fd, data + sent, count - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            io.result = PortResult{PortStatus::Lost, ErrnoText(errno)};
            break;
        }
        if (timeoutMs <= 0)
            break;
        const short revents = WaitFor(fd, POLLOUT, deadline);
        if (revents == 0)
            break;
        if ((revents & POLLOUT) == 0) {
            io.result = PortResult{PortStatus::Lost, kConnectionFailed};
            break;
        }
    }
    io.count = static_cast<int>(sent);
    return io;
}

StreamIo CTcpSocket::Receive(uint8_t* buffer, size_t count, int timeoutMs)
{
    const int fd = static_cast<int>(m_socket);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, count, 0);
        if (n > 0)
            return StreamIo{static_cast<int>(n), PortResult{}};
        if (n == 0)
            return StreamIo{0, PortResult{PortStatus::Lost, kClosedByPeer}};
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return StreamIo{0, PortResult{PortStatus::Lost, ErrnoText(errno)}};
        if (timeoutMs <= 0 || WaitFor(fd, POLLIN, deadline) == 0)
            return StreamIo{};
    }
}
