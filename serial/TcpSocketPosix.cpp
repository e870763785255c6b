#include "TcpSocket.h"

#include "ErrnoText.h"
#include "RunWithin.h"
#include "UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

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

struct Lookup {
    int code = EAI_AGAIN;
    std::shared_ptr<addrinfo> list;
};

Lookup LookUp(const std::string& host, const std::string& port, int flags)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* list = nullptr;
    Lookup found;
    found.code = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    if (found.code == 0)
        found.list.reset(list, ::freeaddrinfo);
    return found;
}

// An address in digits needs no lookup; a name is looked up on a thread of
// its own, since getaddrinfo has no time-out and a dead name server would
// hold the connect far beyond its bound.
bool LookUpWithin(const std::string& host, const std::string& port, int timeoutMs, Lookup& found)
{
    found = LookUp(host, port, AI_NUMERICHOST | AI_NUMERICSERV);
    if (found.code != EAI_NONAME)
        return true;
    return RunWithin<Lookup>([host, port] { return LookUp(host, port, AI_NUMERICSERV); }, timeoutMs, found);
}

} // namespace

std::unique_ptr<CTcpSocket> CTcpSocket::Connect(const std::string& host, const std::string& port, int timeoutMs,
                                                PortResult& result)
{
    result = PortResult{};
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Lookup found;
    if (!LookUpWithin(host, port, timeoutMs, found)) {
        result = PortResult{PortStatus::Timeout, "cannot find " + host + " within " + std::to_string(timeoutMs / 1000) + " s"};
        return nullptr;
    }
    if (found.code != 0) {
        result = PortResult{PortStatus::Other, "cannot find " + host + ": " + ::gai_strerror(found.code)};
        return nullptr;
    }
    int lastError = 0;
    UniqueFd fd;
    for (const addrinfo* a = found.list.get(); a != nullptr && !fd.Valid() && MillisecondsLeft(deadline) > 0;
         a = a->ai_next)
        fd = ConnectOne(*a, deadline, lastError);
    if (!fd.Valid()) {
        if (lastError == 0 || lastError == ETIMEDOUT)
            result = PortResult{PortStatus::Timeout, "no answer within " + std::to_string(timeoutMs / 1000) + " s"};
        else if (lastError == ECONNREFUSED)
            result = PortResult{PortStatus::Refused, "connection refused (is the port server running?)"};
        else
            result = PortResult{PortStatus::Other, "cannot connect: " + ErrnoText(lastError)};
        return nullptr;
    }
    return std::unique_ptr<CTcpSocket>(new CTcpSocket(fd.Release()));
}

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
