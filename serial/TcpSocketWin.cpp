#include "TcpSocket.h"

#include "TcpPlatform.h"
#include "WinErrorText.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>

using tcp::Clock;
using tcp::MillisecondsLeft;

namespace {

// Waits for events on s until deadline; the revents, or 0 when the time ran out.
short WaitFor(SOCKET s, short events, Clock::time_point deadline)
{
    WSAPOLLFD pfd{};
    pfd.fd = s;
    pfd.events = events;
    const int r = ::WSAPoll(&pfd, 1, MillisecondsLeft(deadline));
    if (r > 0)
        return pfd.revents;
    return r == 0 ? 0 : POLLERR;
}

SOCKET ConnectOne(const addrinfo& address, Clock::time_point deadline, int& error)
{
    SOCKET s = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = ::WSAGetLastError();
        return INVALID_SOCKET;
    }
    u_long nonBlocking = 1;
    (void)::ioctlsocket(s, FIONBIO, &nonBlocking);
    if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        error = ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            const short revents = WaitFor(s, POLLOUT, deadline);
            error = revents == 0 ? WSAETIMEDOUT : 0;
            if (revents != 0) {
                int length = sizeof error;
                if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
                    error = ::WSAGetLastError();
            }
        }
        if (error != 0) {
            ::closesocket(s);
            return INVALID_SOCKET;
        }
    }
    const BOOL on = TRUE;
    (void)::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return s;
}

} // namespace

namespace tcp {

// Winsock is started once for the program and left running: the process
// ending is the only clean-up it needs.
bool StartNetwork(PortResult& result)
{
    static const int started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (started != 0)
        result = PortResult{PortStatus::Other, "network unavailable: " + WinErrorText(static_cast<unsigned long>(started))};
    return started == 0;
}

Lookup LookUp(const std::string& host, const std::string& port, bool numericOnly)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
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
    return WinErrorText(static_cast<unsigned long>(lookupCode));
}

intptr_t ConnectFirst(const addrinfo* list, Clock::time_point deadline, int& error)
{
    SOCKET s = INVALID_SOCKET;
    for (const addrinfo* a = list; a != nullptr && s == INVALID_SOCKET && MillisecondsLeft(deadline) > 0; a = a->ai_next)
        s = ConnectOne(*a, deadline, error);
    return s == INVALID_SOCKET ? kNoSocket : static_cast<intptr_t>(s);
}

PortStatus ConnectStatus(int error)
{
    return error == WSAETIMEDOUT      ? PortStatus::Timeout
           : error == WSAECONNREFUSED ? PortStatus::Refused
                                      : PortStatus::Other;
}

std::string SocketErrorText(int error)
{
    return WinErrorText(static_cast<unsigned long>(error));
}

void CloseSocket(intptr_t socket)
{
    ::closesocket(static_cast<SOCKET>(socket));
}

namespace {

Transfer Done(int n)
{
    Transfer t;
    t.count = n;
    if (n < 0) {
        t.error = ::WSAGetLastError();
        t.wouldBlock = t.error == WSAEWOULDBLOCK;
    }
    return t;
}

} // namespace

Transfer SendOnce(intptr_t socket, const uint8_t* data, size_t count)
{
    return Done(::send(static_cast<SOCKET>(socket), reinterpret_cast<const char*>(data), static_cast<int>(count), 0));
}

Transfer ReceiveOnce(intptr_t socket, uint8_t* buffer, size_t count)
{
    return Done(::recv(static_cast<SOCKET>(socket), reinterpret_cast<char*>(buffer), static_cast<int>(count), 0));
}

Wait WaitUntilReady(intptr_t socket, bool forWrite, Clock::time_point deadline)
{
    const short wanted = forWrite ? POLLOUT : POLLIN;
    const short revents = WaitFor(static_cast<SOCKET>(socket), wanted, deadline);
    return revents == 0 ? Wait::TimedOut : (revents & wanted) != 0 ? Wait::Ready : Wait::Failed;
}

} // namespace tcp
