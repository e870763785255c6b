#include "RunPacer.h"

#include "ChipTable.h"
#include "SteadyClock.h"

#include <algorithm>
#include <chrono>
#include <thread>

CRunPacer::CRunPacer(Options options) : m_options(std::move(options))
{
    if (!m_options.clock)
        m_options.clock = SteadyMs;
    if (!m_options.sleepMs)
        m_options.sleepMs = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    m_startMs = m_tickBaseMs = Now();
}

void CRunPacer::SetCountdown(int ticks)
{
    m_nCountdown = std::max(0, ticks);
}

void CRunPacer::OnSearchStarted()
{
    // The wait counts from the first search: loading a large file does not
    // eat into it.
    if (m_searchStartMs < 0)
        m_searchStartMs = Now();
}

void CRunPacer::AdvanceTicks()
{
    // A free-running 20 ms timer: whole ticks are taken off the countdown,
    // the part of a tick already gone counts towards the next one.
    const int64_t now = Now();
    const int64_t ticks = (now - m_tickBaseMs) / kTickMs;
    if (ticks <= 0)
        return;
    m_tickBaseMs += ticks * kTickMs;
    m_nCountdown = static_cast<int>(std::max<int64_t>(0, m_nCountdown - ticks));
}

bool CRunPacer::Pump()
{
    if (m_abandoned != AbandonReason::None)
        return false;
    if (m_options.interrupted && m_options.interrupted->load()) {
        m_abandoned = AbandonReason::Interrupted;
        return false;
    }
    // The engine waits out a pause by pumping in a loop with no read in
    // between; a pump that comes within the same millisecond as the last one
    // yields the processor instead of spinning.
    if (m_lastPumpMs >= 0 && Now() - m_lastPumpMs < 1)
        m_options.sleepMs(1);
    m_lastPumpMs = Now();
    AdvanceTicks();
    if (m_options.waitMs >= 0 && !m_bTargetAnswered && m_searchStartMs >= 0 &&
        Now() - m_searchStartMs >= m_options.waitMs) {
        m_abandoned = AbandonReason::WaitExpired;
        return false;
    }
    return true;
}
