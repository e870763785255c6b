#include "Rfc2217Stream.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kNop = 241, kSe = 240;
constexpr uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;

// COM-PORT-OPTION commands (client to server; the server answers with +100).
constexpr uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kSetControl = 5,
                  kPurgeData = 12;
constexpr uint8_t kServerOffset = 100;
constexpr uint8_t kParityNone = 1, kOneStopBit = 1, kNoFlowControl = 1;
constexpr uint8_t kDtrOn = 8, kDtrOff = 9, kRtsOn = 11, kRtsOff = 12;
constexpr uint8_t kPurgeBoth = 3;

// A command of our own (a line setting) may wait this long to go out.
constexpr int kCommandTimeoutMs = 100;

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

uint64_t Bit(uint8_t option)
{
    return option < 64 ? uint64_t{1} << option : 0;
}

// The options this end takes on either side; everything else is refused.
bool Wanted(uint8_t option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

void AppendEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        out.push_back(data[i]);
        if (data[i] == kIac)
            out.push_back(kIac);
    }
}

} // namespace

Rfc2217Stream::Rfc2217Stream(std::unique_ptr<ILineStream> inner) : m_inner(std::move(inner)) {}

PortResult Rfc2217Stream::Start(int baud, int timeoutMs)
{
    const auto begin = Clock::now();
    const auto deadline = begin + std::chrono::milliseconds(timeoutMs);
    m_weWill |= Bit(kBinary) | Bit(kSuppressGoAhead) | Bit(kComPort);
    m_theyWill |= Bit(kBinary) | Bit(kSuppressGoAhead);
    // Every request at once: one round trip for all the answers.
    m_out.insert(m_out.end(), {kIac, kWill, kComPort, kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill,
                               kSuppressGoAhead, kIac, kDo, kSuppressGoAhead});
    if (!Flush(timeoutMs))
        return HungUpOr(PortStatus::Lost, "the port server hung up");
    const bool answered = WaitUntil(
        [this] { return m_comPortRefused || m_binaryRefused || (m_comPortAgreed && BinaryAnswered()); },
        MillisecondsLeft(deadline));
    m_roundTripMs = static_cast<int>(
        (std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin).count() + 999) / 1000);
    if (!answered)
        return HungUpOr(PortStatus::Timeout, "the port server did not answer the Telnet options");
    if (m_comPortRefused)
        return PortResult{PortStatus::Unsupported,
                          "the port server does not offer RFC 2217 serial control here (try tcp://)"};
    if (m_binaryRefused) {
        // Telnet's own text mode would change bytes of every frame.
        return PortResult{PortStatus::Refused, "the port server refuses Telnet binary mode, without which frames "
                                               "would be altered (allow it in the server's settings, or try tcp://)"};
    }
    // The line settings and the rate in one go: the second round trip.
    QueueComPortCommand(kSetDataSize, {8});
    QueueComPortCommand(kSetParity, {kParityNone});
    QueueComPortCommand(kSetStopSize, {kOneStopBit});
    QueueComPortCommand(kSetControl, {kNoFlowControl});
    QueueComPortCommand(kSetControl, {kDtrOn});
    QueueComPortCommand(kSetControl, {kRtsOff});
    m_confirmedBaud = 0;
    QueueSetRate(baud);
    const bool confirmed = Flush(MillisecondsLeft(deadline)) &&
                           WaitUntil([this] { return m_confirmedBaud != 0; }, MillisecondsLeft(deadline)) &&
                           m_confirmedBaud == static_cast<uint32_t>(baud);
    if (!confirmed)
        return RateUnconfirmed(baud);
    m_lineBaud = baud;
    return PortResult{};
}

void Rfc2217Stream::Fail(const PortResult& why)
{
    if (!Failed())
        m_failure = why;
    m_out.clear();
}

PortResult Rfc2217Stream::HungUpOr(PortStatus status, const std::string& text) const
{
    return Failed() ? m_failure : PortResult{status, text};
}

PortResult Rfc2217Stream::RateUnconfirmed(int baud) const
{
    // A server that answers with another rate refuses the one asked for.
    return HungUpOr(m_confirmedBaud != 0 ? PortStatus::Refused : PortStatus::Timeout,
                    "the port server did not confirm " + std::to_string(baud) + " baud");
}

StreamIo Rfc2217Stream::SendSome(const uint8_t* data, size_t count, int timeoutMs)
{
    if (Failed())
        return StreamIo{0, m_failure};
    AppendEscaped(m_out, data, count);
    // Half a frame on the wire cannot be taken back: the connection is done.
    if (!Flush(timeoutMs)) {
        Fail(PortResult{PortStatus::Lost,
                        "the port server did not take the data within " + std::to_string(timeoutMs) + " ms"});
        return StreamIo{0, m_failure};
    }
    return StreamIo{static_cast<int>(count), PortResult{}};
}

StreamIo Rfc2217Stream::Receive(uint8_t* buffer, size_t count, int timeoutMs)
{
    if (!m_pending.empty()) {
        const size_t n = std::min(count, m_pending.size());
        std::copy(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n), buffer);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n));
        return StreamIo{static_cast<int>(n), PortResult{}};
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // A far end that sends nothing but commands still ends the wait in time.
    for (;;) {
        uint8_t data[512];
        const int got = ReadRaw(data, sizeof data, MillisecondsLeft(deadline));
        if (got > 0) {
            const size_t n = std::min(count, static_cast<size_t>(got));
            std::copy(data, data + n, buffer);
            m_pending.insert(m_pending.end(), data + n, data + got);
            return StreamIo{static_cast<int>(n), PortResult{}};
        }
        if (got < 0)
            return StreamIo{0, m_failure};
        if (m_binaryRefused)
            return StreamIo{0, PortResult{PortStatus::Lost, "the port server left Telnet binary mode"}};
        if (MillisecondsLeft(deadline) == 0)
            return StreamIo{};
    }
}

int Rfc2217Stream::ReadRaw(uint8_t* out, size_t count, int timeoutMs)
{
    if (Failed())
        return -1;
    if (m_purgesAwaited > 0 && Clock::now() - m_purgeAskedAt > std::chrono::milliseconds(kPurgeConfirmMs)) {
        // A server that does not confirm purges: data is taken as it comes.
        m_confirmsPurges = false;
        m_purgesAwaited = 0;
    }
    // Each raw byte gives at most one data byte, so count raw bytes fit.
    uint8_t raw[512];
    const StreamIo got = m_inner->Receive(raw, std::min(count, sizeof raw), timeoutMs);
    if (!got.Ok()) {
        Fail(got.result);
        return -1;
    }
    const size_t data = Decode(raw, static_cast<size_t>(got.count), out);
    if (data > 0 && m_acknowledgeAnswer) {
        // An answer's first byte may come alone, its second held behind it.
        QueueAcknowledgement();
        m_acknowledgeAnswer = false;
    }
    // Answers go out as the connection takes them, never waited for here.
    Flush(0);
    return Failed() && data == 0 ? -1 : static_cast<int>(data);
}

PortResult Rfc2217Stream::Purge()
{
    m_pending.clear();
    const PortResult drained = DrainStream(*this, kDrainBoundMs);
    if (!drained.Ok())
        return drained;
    m_pending.clear();
    // Goes out with the next send, in the same packet as the frame. Bytes
    // the server sent before it purged (one it held back, one still on its
    // way) come before its confirmation, and are dropped up to it.
    QueueComPortCommand(kPurgeData, {kPurgeBoth});
    if (m_confirmsPurges && m_purgesAwaited++ == 0)
        m_purgeAskedAt = Clock::now();  // the oldest one not yet confirmed
    return Failed() ? m_failure : PortResult{};
}

PortResult Rfc2217Stream::SetRate(int baud, int timeoutMs)
{
    m_confirmedBaud = 0;
    QueueSetRate(baud);
    // The server answers with the rate it now runs at.
    if (Flush(kCommandTimeoutMs) && WaitUntil([this] { return m_confirmedBaud != 0; }, timeoutMs) &&
        m_confirmedBaud == static_cast<uint32_t>(baud)) {
        m_lineBaud = baud;
        return PortResult{};
    }
    const PortResult why = RateUnconfirmed(baud);
    // A server that runs at some other rate now, or takes the request
    // after all, comes back to the rate that worked: the commands are taken
    // in order. Its confirmation is not awaited.
    if (m_lineBaud != 0 && m_confirmedBaud != static_cast<uint32_t>(m_lineBaud)) {
        QueueSetRate(m_lineBaud);
        (void)Flush(kCommandTimeoutMs);
    }
    return why;
}

PortResult Rfc2217Stream::SetModemLine(ModemLine line, bool on)
{
    const uint8_t value = line == ModemLine::Dtr ? (on ? kDtrOn : kDtrOff) : (on ? kRtsOn : kRtsOff);
    QueueComPortCommand(kSetControl, {value});
    if (Flush(kCommandTimeoutMs))
        return PortResult{};
    return HungUpOr(PortStatus::Timeout, "the port server did not take the command");
}

template <typename Done> bool Rfc2217Stream::WaitUntil(Done done, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0)
            return false;
        uint8_t data[512];
        const int got = ReadRaw(data, sizeof data, left);
        if (got < 0)
            return false;
        // A line's worth of waiting is kept; a server flooding the wait is not.
        const size_t keep = std::min(static_cast<size_t>(got), kMaxPending - std::min(kMaxPending, m_pending.size()));
        m_pending.insert(m_pending.end(), data, data + keep);
    }
    return true;
}

size_t Rfc2217Stream::Decode(const uint8_t* raw, size_t count, uint8_t* out)
{
    size_t stored = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = raw[i];
        switch (m_state) {
        case State::Data:
            if (b == kIac)
                m_state = State::Command;
            else if (m_purgesAwaited == 0)
                out[stored++] = b;
            break;
        case State::Command:
            m_state = State::Data;
            if (b == kIac) {
                if (m_purgesAwaited == 0)
                    out[stored++] = kIac;  // a doubled 0xFF is one data byte
            } else if (b >= kWill && b <= kDont) {
                m_verb = b;
                m_state = State::Option;
            } else if (b == kSb) {
                m_sub.clear();
                m_state = State::Sub;
            }
            // Anything else (NOP, DM, GA ...) carries nothing for a serial line.
            break;
        case State::Option:
            m_state = State::Data;
            OnOption(m_verb, b);
            break;
        case State::Sub:
            if (b == kIac)
                m_state = State::SubCommand;
            else
                m_sub.push_back(b);
            break;
        case State::SubCommand:
            if (b == kSe) {
                m_state = State::Data;
                OnSubnegotiation();
                break;
            }
            if (b == kIac)
                m_sub.push_back(kIac);
            m_state = State::Sub;
            break;
        }
        // No SE in sight: a broken or hostile server; what follows is data.
        if (m_sub.size() > kMaxSubnegotiation) {
            m_sub.clear();
            m_state = State::Data;
        }
    }
    return stored;
}

void Rfc2217Stream::OnOption(uint8_t verb, uint8_t option)
{
    const bool aboutUs = verb == kDo || verb == kDont;
    if (option == kBinary) {
        m_binaryAnswers |= aboutUs ? 1 : 2;
        if (verb == kDont || verb == kWont)
            m_binaryRefused = true;
    }
    // Only a change of state is answered, so that two ends never loop.
    if (aboutUs) {
        const bool on = (m_weWill & Bit(option)) != 0;
        if (option == kComPort)
            (verb == kDo ? m_comPortAgreed : m_comPortRefused) = true;
        if (verb == kDo && !on) {
            if (Wanted(option))
                m_weWill |= Bit(option);
            QueueAnswer(Wanted(option) ? kWill : kWont, option);
        } else if (verb == kDont && on) {
            m_weWill &= ~Bit(option);
            QueueAnswer(kWont, option);
        }
    } else {
        const bool on = (m_theyWill & Bit(option)) != 0;
        if (verb == kWill && !on) {
            if (Wanted(option))
                m_theyWill |= Bit(option);
            QueueAnswer(Wanted(option) ? kDo : kDont, option);
        } else if (verb == kWont && on) {
            m_theyWill &= ~Bit(option);
            QueueAnswer(kDont, option);
        }
    }
}

void Rfc2217Stream::OnSubnegotiation()
{
    if (m_sub.size() < 2 || m_sub[0] != kComPort)
        return;
    if (m_sub[1] == kServerOffset + kSetBaudRate && m_sub.size() >= 6)
        m_confirmedBaud = (uint32_t{m_sub[2]} << 24) | (uint32_t{m_sub[3]} << 16) | (uint32_t{m_sub[4]} << 8) | m_sub[5];
    if (m_sub[1] == kServerOffset + kPurgeData) {
        m_purgesAwaited = std::max(0, m_purgesAwaited - 1);
        QueueAcknowledgement();
        m_acknowledgeAnswer = true;
    }
    // Line and modem state notices and the other confirmations change nothing here.
}

void Rfc2217Stream::QueueAnswer(uint8_t verb, uint8_t option)
{
    // A far end that floods requests and reads none of the answers gets no more.
    if (!Failed() && m_out.size() + 3 <= kMaxQueuedAnswers)
        m_out.insert(m_out.end(), {kIac, verb, option});
}

void Rfc2217Stream::QueueAcknowledgement()
{
    // A server that holds small packets back (Nagle) keeps the next one,
    // the board's answer, until this end acknowledges the last, which the
    // system here may put off for 40 to 200 ms. A NOP takes the
    // acknowledgement along at once.
    if (!Failed() && m_out.size() + 2 <= kMaxQueuedAnswers)
        m_out.insert(m_out.end(), {kIac, kNop});
}

void Rfc2217Stream::QueueComPortCommand(uint8_t command, const std::vector<uint8_t>& value)
{
    if (Failed())
        return;
    m_out.insert(m_out.end(), {kIac, kSb, kComPort, command});
    AppendEscaped(m_out, value.data(), value.size());
    m_out.insert(m_out.end(), {kIac, kSe});
}

void Rfc2217Stream::QueueSetRate(int baud)
{
    const uint32_t rate = static_cast<uint32_t>(baud);
    QueueComPortCommand(kSetBaudRate, {static_cast<uint8_t>(rate >> 24), static_cast<uint8_t>(rate >> 16),
                                       static_cast<uint8_t>(rate >> 8), static_cast<uint8_t>(rate)});
}

bool Rfc2217Stream::Flush(int timeoutMs)
{
    if (Failed())
        return false;
    if (m_out.empty())
        return true;
    const StreamIo sent = m_inner->SendSome(m_out.data(), m_out.size(), timeoutMs);
    if (!sent.Ok()) {
        Fail(sent.result);
        return false;
    }
    m_out.erase(m_out.begin(), m_out.begin() + sent.count);
    return m_out.empty();
}
