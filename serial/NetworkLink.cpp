#include "NetworkLink.h"

#include "Rfc2217Stream.h"
#include "TcpSocket.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kReadTimeout = std::chrono::milliseconds(5);
constexpr int kWriteTimeoutMs = 100;
constexpr int kLineRate = 19200;

std::unique_ptr<ILineStream> ConnectTcp(const NetworkAddress& address, int timeoutMs, PortResult& result)
{
    return TcpSocket::Connect(address.host, address.port, timeoutMs, result);
}

const char* const kHungUp = "the port server hung up";

} // namespace

NetworkLink::NetworkLink(const NetworkAddress& address, const std::string& text, Connector connect)
    : m_address(address), m_text(text), m_connect(connect ? std::move(connect) : Connector(ConnectTcp))
{
}

NetworkLink::~NetworkLink() = default;

Rfc2217Stream* NetworkLink::Telnet() const
{
    return m_address.protocol == NetworkAddress::Protocol::Rfc2217 ? static_cast<Rfc2217Stream*>(m_stream.get())
                                                                    : nullptr;
}

int NetworkLink::Open()
{
    if (IsOpen())
        return 1;
    m_stream.reset();  // what is left of a lost connection
    PortResult result;
    // One bound for the whole connect: lookup, connection and negotiation.
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    std::unique_ptr<ILineStream> stream = m_connect(m_address, kConnectTimeoutMs, result);
    int roundTripMs = -1;
    if (stream && m_address.protocol == NetworkAddress::Protocol::Rfc2217) {
        auto telnet = std::make_unique<Rfc2217Stream>(std::move(stream));
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        result = telnet->Start(kLineRate, static_cast<int>(std::max<int64_t>(1, left)));
        if (result.Ok()) {
            roundTripMs = telnet->RoundTripMs();
            stream = std::move(telnet);
        }
    }
    if (!stream) {
        m_lastError = result;
        return 0;
    }
    m_lastError = PortResult{};
    m_stream = std::move(stream);
    m_lost = false;
    m_roundTripMs = roundTripMs;
    m_timing.reset();
    m_answerTimed = false;
    return 1;
}

int NetworkLink::Close()
{
    if (!m_stream)
        return 0;
    m_stream.reset();
    return 1;
}

int NetworkLink::Read(uint8_t* buffer, uint32_t count)
{
    if (!m_stream || count == 0)
        return 0;
    const auto deadline = Clock::now() + kReadTimeout;
    uint32_t got = 0;
    while (got < count && !m_lost) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        // Rounded up: a wait of 0 ms would make this a busy loop.
        const StreamIo n = m_stream->Receive(buffer + got, count - got, static_cast<int>((left + 999) / 1000));
        if (!n.Ok())
            Lose(n.result);
        else
            got += static_cast<uint32_t>(n.count);
    }
    if (got > 0 && m_timing && !m_answerTimed) {
        // The first answer to a write (the first wake-up) shows the round
        // trip; a slower one than the Telnet options took widens it.
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - *m_timing).count();
        m_roundTripMs = std::max(m_roundTripMs, static_cast<int>((took + 999) / 1000));
        m_answerTimed = true;
    }
    // As with a serial line that has gone: the wait is sat out so the
    // engine's loops do not spin.
    if (m_lost)
        std::this_thread::sleep_until(deadline);
    return static_cast<int>(got);
}

int NetworkLink::Write(const uint8_t* buffer, uint32_t count)
{
    if (!m_stream || m_lost)
        return 0;
    const PortResult purged = m_stream->Purge();
    if (!purged.Ok()) {
        Lose(purged);
        return 0;
    }
    const int written = WriteThrough(buffer, count).Ok() ? 1 : 0;
    if (written && !m_answerTimed)
        m_timing = Clock::now();
    return written;
}

PortResult NetworkLink::WriteThrough(const uint8_t* buffer, uint32_t count)
{
    if (!m_stream || m_lost)
        return NotOpen();
    // A send that does not finish in time leaves half a frame behind: the
    // connection is of no more use.
    const PortResult sent = m_stream->Send(buffer, count, kWriteTimeoutMs);
    return sent.Ok() ? sent : Lose(sent);
}

PortResult NetworkLink::PulseModemLine(ModemLine line, int ms)
{
    if (!m_stream || m_lost)
        return NotOpen();
    Rfc2217Stream* telnet = Telnet();
    if (!telnet)
        return Failed(PortResult{PortStatus::Unsupported, "a raw network port has no modem lines"});
    // Resting levels: DTR raised, RTS lowered; the pulse is the other level.
    const bool resting = line == ModemLine::Dtr;
    PortResult result = telnet->SetModemLine(line, !resting);
    if (!result.Ok())
        return Failed(result);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    result = telnet->SetModemLine(line, resting);
    return result.Ok() ? result : Failed(result);
}

PortResult NetworkLink::SetLineRate(int baud)
{
    if (!m_stream || m_lost)
        return NotOpen();
    Rfc2217Stream* telnet = Telnet();
    // A raw stream runs at whatever rate the server was set up with.
    if (!telnet)
        return Failed(PortResult{PortStatus::Unsupported, "a raw network port runs at the rate its server sets"});
    const PortResult result = telnet->SetRate(baud, kConnectTimeoutMs);
    return result.Ok() ? result : Failed(result);
}

bool NetworkLink::SetRate(int baud)
{
    // What was written has gone to the server ahead of the request; when
    // it leaves the server's own port is beyond what this end can see.
    return CanSetRate(baud) && SetLineRate(baud).Ok();
}

bool NetworkLink::CanSetRate(int baud) const
{
    return IsOpen() && Telnet() != nullptr && baud > 0;
}

PortResult NetworkLink::Failed(const PortResult& result)
{
    m_lastError = result;
    return result;
}

PortResult NetworkLink::Lose(const PortResult& why)
{
    m_lost = true;
    // However it went (a send that timed out too), the connection is of no
    // more use: a lost line, in the stream's own words.
    return Failed(PortResult{PortStatus::Lost, why.osText});
}

PortResult NetworkLink::NotOpen() const
{
    return m_lost ? PortResult{PortStatus::Lost, kHungUp} : PortResult{PortStatus::Other, "not connected"};
}
