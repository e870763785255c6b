#include "TcpSocket.h"

#include "RunWithin.h"
#include "WinErrorText.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// Winsock is started once for the program and left running: the process
// ending is the only clean-up it needs.
bool StartWinsock(PortResult& result)
{
    static const int started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (started != 0)
        result = PortResult{PortStatus::Other, "network unavailable: " + WinErrorText(static_cast<unsigned long>(started))};
    return started == 0;
}

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

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

struct Lookup {
    int code = WSATRY_AGAIN;
    std::shared_ptr<addrinfo> list;
};

Lookup LookUp(const std::string& host, const std::string& port, int flags)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
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
    if (!StartWinsock(result))
        return nullptr;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Lookup found;
    if (!LookUpWithin(host, port, timeoutMs, found)) {
        result = PortResult{PortStatus::Timeout, "cannot find " + host + " within " + std::to_string(timeoutMs / 1000) + " s"};
        return nullptr;
    }
    if (found.code != 0) {
        result = PortResult{PortStatus::Other, "cannot find " + host + ": " + WinErrorText(static_cast<unsigned long>(found.code))};
        return nullptr;
    }
    int lastError = 0;
    SOCKET s = INVALID_SOCKET;
    for (const addrinfo* a = found.list.get(); a != nullptr && s == INVALID_SOCKET && MillisecondsLeft(deadline) > 0;
         a = a->ai_next)
        s = ConnectOne(*a, deadline, lastError);
    if (s == INVALID_SOCKET) {
        if (lastError == 0 || lastError == WSAETIMEDOUT)
            result = PortResult{PortStatus::Timeout, "no answer within " + std::to_string(timeoutMs / 1000) + " s"};
        else if (lastError == WSAECONNREFUSED)
            result = PortResult{PortStatus::Refused, "connection refused (is the port server running?)"};
        else
            result = PortResult{PortStatus::Other, "cannot connect: " + WinErrorText(static_cast<unsigned long>(lastError))};
        return nullptr;
    }
    return std::unique_ptr<CTcpSocket>(new CTcpSocket(static_cast<intptr_t>(s)));
}

CTcpSocket::~CTcpSocket()
{
    ::closesocket(static_cast<SOCKET>(m_socket));
}

StreamIo CTcpSocket::SendSome(const uint8_t* data, size_t count, int timeoutMs)
{
    const SOCKET s = static_cast<SOCKET>(m_socket);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    StreamIo io;
    size_t sent = 0;
    while (sent < count) {
        const int n = ::send(s, reinterpret_cast<const char*>(data + sent), static_cast<int>(count - sent), 0);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0) {
            const int error = ::WSAGetLastError();
            if (error != WSAEWOULDBLOCK) {
                io.result = PortResult{PortStatus::Lost, WinErrorText(static_cast<unsigned long>(error))};
                break;
            }
        }
        if (timeoutMs <= 0)
            break;
        const short revents = WaitFor(s, POLLOUT, deadline);
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
    const SOCKET s = static_cast<SOCKET>(m_socket);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int n = ::recv(s, reinterpret_cast<char*>(buffer), static_cast<int>(count), 0);
        if (n > 0)
            return StreamIo{n, PortResult{}};
        if (n == 0)
            return StreamIo{0, PortResult{PortStatus::Lost, kClosedByPeer}};
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK)
            return StreamIo{0, PortResult{PortStatus::Lost, WinErrorText(static_cast<unsigned long>(error))}};
        if (timeoutMs <= 0 || WaitFor(s, POLLIN, deadline) == 0)
            return StreamIo{};
    }
}
