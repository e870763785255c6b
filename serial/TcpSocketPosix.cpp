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

void CloseSocket(intptr_t socket)
{
    UniqueFd close(static_cast<int>(socket));
}

namespace {

Transfer Done(ssize_t n)
{
    Transfer t;
    t.count = static_cast<long>(n);
    if (n < 0) {
        t.wouldBlock = errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        t.error = errno;
    }
    return t;
}

} // namespace

Transfer SendOnce(intptr_t socket, const uint8_t* data, size_t count)
{
    // MSG_NOSIGNAL: a closed connection is an error here, not SIGPIPE.
    return Done(::send(static_cast<int>(socket), data, count, MSG_NOSIGNAL));
}

Transfer ReceiveOnce(intptr_t socket, uint8_t* buffer, size_t count)
{
    return Done(::recv(static_cast<int>(socket), buffer, count, 0));
}

Wait WaitUntilReady(intptr_t socket, bool forWrite, Clock::time_point deadline)
{
    const short wanted = forWrite ? POLLOUT : POLLIN;
    const short revents = WaitFor(static_cast<int>(socket), wanted, deadline);
    return revents == 0 ? Wait::TimedOut : (revents & wanted) != 0 ? Wait::Ready : Wait::Failed;
}

} // namespace tcp
