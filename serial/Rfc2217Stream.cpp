#include "Rfc2217Stream.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;

// COM-PORT-OPTION commands (client to server; the server answers with +100).
constexpr uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kSetControl = 5,
                  kPurgeData = 12;
constexpr uint8_t kServerOffset = 100;
constexpr uint8_t kParityNone = 1, kOneStopBit = 1, kNoFlowControl = 1;
constexpr uint8_t kDtrOn = 8, kDtrOff = 9, kRtsOn = 11, kRtsOff = 12;
constexpr uint8_t kPurgeBoth = 3;

using Clock = std::chrono::steady_clock;

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

CRfc2217Stream::CRfc2217Stream(std::unique_ptr<ILineStream> inner) : m_inner(std::move(inner)) {}

bool CRfc2217Stream::Start(int baud, int timeoutMs, std::string& error)
{
    m_weWill |= Bit(kBinary) | Bit(kSuppressGoAhead) | Bit(kComPort);
    m_theyWill |= Bit(kBinary) | Bit(kSuppressGoAhead);
    const uint8_t offer[] = {kIac, kWill, kComPort, kIac, kWill, kBinary, kIac, kDo,   kBinary,
                             kIac, kWill, kSuppressGoAhead, kIac, kDo, kSuppressGoAhead};
    if (!m_inner->Send(offer, sizeof offer, timeoutMs)) {
        error = "the port server hung up";
        return false;
    }
    if (!WaitUntil([this] { return m_comPortAgreed || m_comPortRefused; }, timeoutMs)) {
        error = m_sendFailed ? "the port server hung up" : "the port server did not answer the Telnet options";
        return false;
    }
    if (m_comPortRefused) {
        error = "the port server does not offer RFC 2217 serial control here (try tcp://)";
        return false;
    }
    const bool sent = SendComPortCommand(kSetDataSize, {8}) && SendComPortCommand(kSetParity, {kParityNone}) &&
                      SendComPortCommand(kSetStopSize, {kOneStopBit}) &&
                      SendComPortCommand(kSetControl, {kNoFlowControl}) && SetModemLine(ModemLine::Dtr, true) &&
                      SetModemLine(ModemLine::Rts, false);
    if (!sent || !SetRate(baud, timeoutMs)) {
        error = "the port server did not confirm " + std::to_string(baud) + " baud";
        return false;
    }
    return true;
}

bool CRfc2217Stream::Send(const uint8_t* data, size_t count, int timeoutMs)
{
    std::vector<uint8_t> escaped;
    escaped.reserve(count + 8);
    AppendEscaped(escaped, data, count);
    return m_inner->Send(escaped.data(), escaped.size(), timeoutMs);
}

int CRfc2217Stream::Receive(uint8_t* buffer, size_t count, int timeoutMs)
{
    if (!m_pending.empty()) {
        const size_t n = std::min(count, m_pending.size());
        std::copy(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n), buffer);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n));
        return static_cast<int>(n);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // Each raw byte gives at most one data byte, so count raw bytes fit.
        uint8_t raw[512];
        const int left = static_cast<int>(
            std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
        const int got = m_inner->Receive(raw, std::min(count, sizeof raw), left);
        if (got < 0)
            return -1;
        const size_t data = Decode(raw, static_cast<size_t>(got), buffer);
        if (data > 0 || got == 0 || m_sendFailed)
            return m_sendFailed && data == 0 ? -1 : static_cast<int>(data);
    }
}

bool CRfc2217Stream::Purge()
{
    m_pending.clear();
    uint8_t scrap[256];
    for (;;) {
        const int got = Receive(scrap, sizeof scrap, 0);
        if (got < 0)
            return false;
        if (got == 0)
            break;
    }
    return SendComPortCommand(kPurgeData, {kPurgeBoth});
}

bool CRfc2217Stream::SetRate(int baud, int timeoutMs)
{
    const uint32_t rate = static_cast<uint32_t>(baud);
    m_confirmedBaud = 0;
    if (!SendComPortCommand(kSetBaudRate, {static_cast<uint8_t>(rate >> 24), static_cast<uint8_t>(rate >> 16),
                                           static_cast<uint8_t>(rate >> 8), static_cast<uint8_t>(rate)}))
        return false;
    // The server answers with the rate it now runs at.
    return WaitUntil([this] { return m_confirmedBaud != 0; }, timeoutMs) && m_confirmedBaud == rate;
}

bool CRfc2217Stream::SetModemLine(ModemLine line, bool on)
{
    const uint8_t value = line == ModemLine::Dtr ? (on ? kDtrOn : kDtrOff) : (on ? kRtsOn : kRtsOff);
    return SendComPortCommand(kSetControl, {value});
}

template <typename Done> bool CRfc2217Stream::WaitUntil(Done done, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (m_sendFailed || Clock::now() >= deadline)
            return false;
        uint8_t raw[256];
        const int got = m_inner->Receive(raw, sizeof raw, 20);
        if (got < 0)
            return false;
        uint8_t data[sizeof raw];
        const size_t n = Decode(raw, static_cast<size_t>(got), data);
        m_pending.insert(m_pending.end(), data, data + n);
    }
    return true;
}

size_t CRfc2217Stream::Decode(const uint8_t* raw, size_t count, uint8_t* out)
{
    size_t stored = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = raw[i];
        switch (m_state) {
        case State::Data:
            if (b == kIac)
                m_state = State::Command;
            else
                out[stored++] = b;
            break;
        case State::Command:
            m_state = State::Data;
            if (b == kIac) {
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
            else if (m_sub.size() < 64)
                m_sub.push_back(b);
            break;
        case State::SubCommand:
            if (b == kSe) {
                m_state = State::Data;
                OnSubnegotiation();
            } else {
                if (b == kIac && m_sub.size() < 64)
                    m_sub.push_back(kIac);
                m_state = State::Sub;
            }
            break;
        }
    }
    return stored;
}

void CRfc2217Stream::OnOption(uint8_t verb, uint8_t option)
{
    // Only a change of state is answered, so that two ends never loop.
    if (verb == kDo || verb == kDont) {
        const bool on = (m_weWill & Bit(option)) != 0;
        if (option == kComPort)
            (verb == kDo ? m_comPortAgreed : m_comPortRefused) = true;
        if (verb == kDo && !on) {
            if (Wanted(option))
                m_weWill |= Bit(option);
            SendCommand(Wanted(option) ? kWill : kWont, option);
        } else if (verb == kDont && on) {
            m_weWill &= ~Bit(option);
            SendCommand(kWont, option);
        }
    } else {
        const bool on = (m_theyWill & Bit(option)) != 0;
        if (verb == kWill && !on) {
            if (Wanted(option))
                m_theyWill |= Bit(option);
            SendCommand(Wanted(option) ? kDo : kDont, option);
        } else if (verb == kWont && on) {
            m_theyWill &= ~Bit(option);
            SendCommand(kDont, option);
        }
    }
}

void CRfc2217Stream::OnSubnegotiation()
{
    if (m_sub.size() >= 6 && m_sub[0] == kComPort && m_sub[1] == kServerOffset + kSetBaudRate)
        m_confirmedBaud = (uint32_t{m_sub[2]} << 24) | (uint32_t{m_sub[3]} << 16) | (uint32_t{m_sub[4]} << 8) | m_sub[5];
    // Line and modem state notices and the other confirmations change nothing here.
}

bool CRfc2217Stream::SendCommand(uint8_t verb, uint8_t option)
{
    const uint8_t command[] = {kIac, verb, option};
    if (!m_inner->Send(command, sizeof command, 100))
        m_sendFailed = true;
    return !m_sendFailed;
}

bool CRfc2217Stream::SendComPortCommand(uint8_t command, const std::vector<uint8_t>& value)
{
    std::vector<uint8_t> frame = {kIac, kSb, kComPort, command};
    AppendEscaped(frame, value.data(), value.size());
    frame.push_back(kIac);
    frame.push_back(kSe);
    if (!m_inner->Send(frame.data(), frame.size(), 100))
        m_sendFailed = true;
    return !m_sendFailed;
}
