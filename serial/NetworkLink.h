#pragma once
#include "LineStream.h"
#include "NetworkAddress.h"
#include "PortLink.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// A serial port on a port server (ser2net and the like), behind the same
// interface as the local port: Read waits at most 5 ms, Write purges and then
// sends within 100 ms. A connection that drops mid-run is a lost line, as
// when a board hangs up: writes fail, reads find nothing, IsOpen() is false
// and the next Open connects again.
class NetworkLink : public IPortLink {
public:
    // Opens the byte stream to the server: nullptr with result saying why on failure.
    using Connector =
        std::function<std::unique_ptr<ILineStream>(const NetworkAddress& address, int timeoutMs, PortResult& result)>;

    // text is what --port said (shown in messages); connect defaults to TCP.
    NetworkLink(const NetworkAddress& address, const std::string& text, Connector connect = Connector());
    ~NetworkLink() override;

    int Open() override;
    int Close() override;
    int Read(uint8_t* buffer, uint32_t count) override;
    int Write(const uint8_t* buffer, uint32_t count) override;
    // false once the connection is lost (see LineLost).
    bool IsOpen() const override { return m_stream != nullptr && !m_lost; }

    const std::string& DevicePath() const override { return m_text; }
    const PortResult& LastError() const override { return m_lastError; }
    PortResult PulseModemLine(ModemLine line, int ms) override;
    PortResult SetLineRate(int baud) override;
    // RFC 2217: SET-BAUDRATE, true once the server confirms it (any rate
    // is offered: only the server knows what its port makes). A raw stream
    // runs at the rate its server sets: false.
    bool SetRate(int baud) override;
    bool CanSetRate(int baud) const override;
    PortResult WriteThrough(const uint8_t* buffer, uint32_t count) override;
    bool LineLost() const override { return m_lost; }
    // The connection's round trip: what the Telnet options took to be
    // answered, or what the first answered write took (the first wake-up);
    // kUnmeasuredSlackMs before a raw stream has had either.
    int AnswerSlackMs() const override { return m_roundTripMs < 0 ? kUnmeasuredSlackMs : m_roundTripMs; }

    // Bounds the connection and, with RFC 2217, the server's answers to it.
    static constexpr int kConnectTimeoutMs = 3000;
    // Until the round trip is known, a wake-up's answer is awaited as long
    // as the pause before the next one would have been (10 ticks).
    static constexpr int kUnmeasuredSlackMs = 200;

private:
    class Rfc2217Stream* Telnet() const;
    // Keeps a failure as the last error and returns it.
    PortResult Failed(const PortResult& result);
    // A read or a write found the connection gone (or a frame half sent):
    // the line is lost, why is kept as the last error and returned.
    PortResult Lose(const PortResult& why);
    // What a call gives when there is no connection, or none left.
    PortResult NotOpen() const;

    NetworkAddress m_address;
    std::string m_text;
    Connector m_connect;
    std::unique_ptr<ILineStream> m_stream;
    bool m_lost = false;
    PortResult m_lastError;
    int m_roundTripMs = -1;
    // When the last write went out, until a read has timed its answer.
    std::optional<std::chrono::steady_clock::time_point> m_timing;
    bool m_answerTimed = false;
};
