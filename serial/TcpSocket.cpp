#include "TcpSocket.h"

#include "RunWithin.h"
#include "TcpPlatform.h"

namespace {

// The words for a connection gone without an OS error of its own.
const char* const kClosedByPeer = "the far end closed the connection";
const char* const kConnectionFailed = "the connection failed";

// An address in digits needs no lookup; a name is looked up on a thread of
// its own, since getaddrinfo has no time-out and a dead name server would
// hold the connect far beyond its bound.
bool LookUpWithin(const std::string& host, const std::string& port, int timeoutMs, tcp::Lookup& found)
{
    found = tcp::LookUp(host, port, true);
    if (!tcp::IsNotNumeric(found.code))
        return true;
    return RunWithin<tcp::Lookup>([host, port] { return tcp::LookUp(host, port, false); }, timeoutMs, found);
}

} // namespace

std::unique_ptr<TcpSocket> TcpSocket::Connect(const std::string& host, const std::string& port, int timeoutMs,
                                                PortResult& result)
{
    result = PortResult{};
    if (!tcp::StartNetwork(result))
        return nullptr;
    const auto deadline = tcp::Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string within = " within " + std::to_string(timeoutMs / 1000) + " s";
    tcp::Lookup found;
    if (!LookUpWithin(host, port, timeoutMs, found)) {
        result = PortResult{PortStatus::Timeout, "cannot find " + host + within};
        return nullptr;
    }
    if (found.code != 0) {
        result = PortResult{PortStatus::Other, "cannot find " + host + ": " + tcp::LookUpErrorText(found.code)};
        return nullptr;
    }
    int lastError = 0;
    const intptr_t socket = tcp::ConnectFirst(found.list.get(), deadline, lastError);
    if (socket == tcp::kNoSocket) {
        switch (lastError == 0 ? PortStatus::Timeout : tcp::ConnectStatus(lastError)) {
        case PortStatus::Timeout:
            result = PortResult{PortStatus::Timeout, "no answer" + within};
            break;
        case PortStatus::Refused:
            result = PortResult{PortStatus::Refused, "connection refused (is the port server running?)"};
            break;
        default:
            result = PortResult{PortStatus::Other, "cannot connect: " + tcp::SocketErrorText(lastError)};
            break;
        }
        return nullptr;
    }
    return std::unique_ptr<TcpSocket>(new TcpSocket(socket));
}

TcpSocket::~TcpSocket()
{
    tcp::CloseSocket(m_socket);
}

StreamIo TcpSocket::SendSome(const uint8_t* data, size_t count, int timeoutMs)
{
    const auto deadline = tcp::Clock::now() + std::chrono::milliseconds(timeoutMs);
    StreamIo io;
    size_t sent = 0;
    while (sent < count) {
        const tcp::Transfer n = tcp::SendOnce(m_socket, data + sent, count - sent);
        if (n.count > 0) {
            sent += static_cast<size_t>(n.count);
            continue;
        }
        if (n.count < 0 && !n.wouldBlock) {
            io.result = PortResult{PortStatus::Lost, tcp::SocketErrorText(n.error)};
            break;
        }
        if (timeoutMs <= 0)
            break;
        const tcp::Wait wait = tcp::WaitUntilReady(m_socket, true, deadline);
        if (wait == tcp::Wait::TimedOut)
            break;
        if (wait == tcp::Wait::Failed) {
            io.result = PortResult{PortStatus::Lost, kConnectionFailed};
            break;
        }
    }
    io.count = static_cast<int>(sent);
    return io;
}

StreamIo TcpSocket::Receive(uint8_t* buffer, size_t count, int timeoutMs)
{
    const auto deadline = tcp::Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const tcp::Transfer n = tcp::ReceiveOnce(m_socket, buffer, count);
        if (n.count > 0)
            return StreamIo{static_cast<int>(n.count), PortResult{}};
        if (n.count == 0)
            return StreamIo{0, PortResult{PortStatus::Lost, kClosedByPeer}};
        if (!n.wouldBlock)
            return StreamIo{0, PortResult{PortStatus::Lost, tcp::SocketErrorText(n.error)}};
        // A failed wait is left to the next recv to report.
        if (timeoutMs <= 0 || tcp::WaitUntilReady(m_socket, false, deadline) == tcp::Wait::TimedOut)
            return StreamIo{};
    }
}

PortResult TcpSocket::Purge()
{
    return DrainStream(*this, kDrainBoundMs);
}
