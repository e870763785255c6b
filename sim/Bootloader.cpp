#include "Bootloader.h"
#include <cstdio>
#include <limits>
#include <utility>

namespace {
std::string Format(const char* fmt, unsigned a, unsigned b = 0, unsigned c = 0)
{
    char text[160];
    std::snprintf(text, sizeof text, fmt, a, b, c);
    return text;
}
}  // namespace

Bootloader::Bootloader(FlashModel& flash, BootFaults faults, BootTiming timing, LogFn log)
    : m_flash(flash), m_faults(std::move(faults)), m_timing(timing), m_log(std::move(log))
{
}

void Bootloader::Log(uint64_t nowNs, const std::string& text) const
{
    if (m_log) m_log(nowNs, text);
}

BootReply Bootloader::Feed(uint8_t byte, uint64_t nowNs)
{
    // Like the UART receive loop on the chip: a frame whose bytes stop coming
    // is abandoned, so a host that gave up half-way can start over.
    if (m_state == State::InFrame && nowNs - m_lastByteNs > m_timing.interByteTimeoutNs)
        DropPartialFrame(nowNs);
    m_lastByteNs = nowNs;

    switch (m_state) {
    case State::Asleep:
        if (byte == kWakeUpByte) return WakeUp(nowNs);
        Log(nowNs, Format("stray byte 0x%02X ignored (no wake-up yet)", byte));
        return {};
    case State::FrameStart:
        // 0xC1 cannot start a frame: no block lies that high in memory.
        if (byte == kWakeUpByte) return WakeUp(nowNs);
        m_frame[0] = byte;
        m_frameLength = 1;
        m_state = State::InFrame;
        return {};
    case State::InFrame:
        m_frame[m_frameLength++] = byte;
        if (m_frameLength < kBlockFrameSize) return {};
        m_state = State::FrameStart;
        m_frameLength = 0;
        return Frame(nowNs);
    }
    return {};
}

void Bootloader::Idle(uint64_t nowNs)
{
    if (nowNs < m_lastByteNs) return;
    const uint64_t silence = nowNs - m_lastByteNs;
    if (m_state == State::InFrame && silence > m_timing.interByteTimeoutNs) DropPartialFrame(nowNs);
    if (m_sessionOpen && m_sessionBlocks > 0 && silence >= m_timing.sessionIdleNs) EndSession(nowNs);
}

uint64_t Bootloader::NextDeadline() const
{
    if (m_state == State::InFrame) return m_lastByteNs + m_timing.interByteTimeoutNs + 1;
    if (m_sessionOpen && m_sessionBlocks > 0) return m_lastByteNs + m_timing.sessionIdleNs;
    return std::numeric_limits<uint64_t>::max();
}

void Bootloader::DropPartialFrame(uint64_t nowNs)
{
    Log(nowNs, Format("partial frame of %u bytes dropped after silence", m_frameLength));
    m_state = State::FrameStart;
    m_frameLength = 0;
}

void Bootloader::EndSession(uint64_t nowNs)
{
    ++m_sessions;
    Log(nowNs, Format("session %u ended: %u blocks written", m_sessions, m_sessionBlocks));
    m_sessionOpen = false;
    m_sessionBlocks = 0;
}

BootReply Bootloader::WakeUp(uint64_t nowNs)
{
    ++m_wakeups;
    if (m_wakeups <= m_faults.ignoreWakeups) {
        Log(nowNs, Format("wake-up %u ignored", m_wakeups));
        return {};
    }
    if (m_sessionOpen && m_sessionBlocks > 0) EndSession(nowNs);
    m_sessionOpen = true;
    m_state = State::FrameStart;
    m_frameLength = 0;
    ++m_wakeupsAnswered;

    BootReply reply;
    const uint8_t first = m_faults.answerByte >= 0 ? static_cast<uint8_t>(m_faults.answerByte)
                                                   : m_flash.Chip().answer;
    const uint8_t version = m_faults.versionByte >= 0 ? static_cast<uint8_t>(m_faults.versionByte) : kVersionByte;
    reply.bytes.push_back(first);
    if (!m_faults.halfAnswer) reply.bytes.push_back(version);
    Log(nowNs, Format(m_faults.halfAnswer ? "wake-up %u answered 0x%02X (half answer)"
                                          : "wake-up %u answered 0x%02X 0x%02X",
                      m_wakeups, first, version));
    if (m_faults.hangUpAfter == 0) {
        reply.hangUp = true;
        Log(nowNs, "hanging up before any block (injected)");
    }
    return reply;
}

BootReply Bootloader::Refuse(uint64_t nowNs, const std::string& why)
{
    ++m_refused;
    Log(nowNs, why + ": N");
    BootReply reply;
    reply.bytes.push_back(kAnswerResend);
    return reply;
}

BootReply Bootloader::Frame(uint64_t nowNs)
{
    uint8_t sum = 0;
    for (uint8_t b : m_frame) sum = static_cast<uint8_t>(sum + b);
    const uint32_t address = (static_cast<uint32_t>(m_frame[0]) << 8) | m_frame[1];
    const uint32_t block = address * 2 / kBlockSize;
    const uint32_t count = m_frame[2];
    const uint32_t words = kBlockSize / 2;

    if (m_faults.refuseAll) return Refuse(nowNs, Format("frame word 0x%04X (block %u): refused, as every frame", address, block));
    if (sum != 0) return Refuse(nowNs, Format("frame word 0x%04X (block %u): checksum error", address, block));
    if (count != kBlockSize)
        return Refuse(nowNs, Format("frame word 0x%04X (block %u): count 0x%02X, expected 0x40", address, block, count));
    if (!m_flash.Writable(address, words))
        return Refuse(nowNs, Format("frame word 0x%04X (block %u): reaches the bootloader at 0x%04X, refused",
                                    address, block, m_flash.BootEntry()));

    const uint32_t attempt = m_attempts[block]++;
    uint32_t nacks = 0;
    if (auto it = m_faults.nacks.find(block); it != m_faults.nacks.end()) nacks = it->second;
    if (attempt < nacks) return Refuse(nowNs, Format("frame word 0x%04X (block %u): injected refusal %u", address, block, attempt + 1));
    if (auto it = m_faults.silences.find(block); it != m_faults.silences.end()) {
        if (it->second == 0 || attempt - nacks < it->second) {
            Log(nowNs, Format("frame word 0x%04X (block %u): no answer (injected)", address, block));
            return {};
        }
    }

    m_flash.WriteBytes(address, m_frame + kFrameHeaderSize, kBlockSize);
    ++m_accepted;
    ++m_sessionBlocks;

    BootReply reply;
    reply.delayNs = m_timing.flashWriteNs;
    if (m_faults.garbage.count(block)) {
        reply.bytes.push_back(kGarbageByte);
        Log(nowNs, Format("frame word 0x%04X (block %u): written, answered 0x%02X (injected)", address, block, kGarbageByte));
    } else {
        reply.bytes.push_back(kAnswerAccepted);
        Log(nowNs, Format("frame word 0x%04X (block %u): written: K", address, block));
    }
    if (m_faults.hangUpAfter >= 0 && m_accepted >= static_cast<uint64_t>(m_faults.hangUpAfter)) {
        reply.hangUp = true;
        Log(nowNs, Format("hanging up after %u blocks (injected)", m_accepted));
    }
    return reply;
}
