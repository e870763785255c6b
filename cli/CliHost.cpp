#include "CliHost.h"

#include "ChipTable.h"
#include "SteadyClock.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <thread>

namespace {

const char kSearching[] = "Searching PIC!";
constexpr int kBarWidth = 40;

} // namespace

CCliHost::CCliHost(Options options) : m_options(std::move(options))
{
    if (!m_options.clock)
        m_options.clock = SteadyMs;
    if (!m_options.sleepMs)
        m_options.sleepMs = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    m_startMs = m_tickBaseMs = Now();
}

int64_t CCliHost::Now() const
{
    return m_options.clock();
}

void CCliHost::EndLine()
{
    if (m_bBarOnLine) {
        std::fputc('\n', m_options.out);
        std::fflush(m_options.out);
        m_bBarOnLine = false;
    }
}

void CCliHost::SetStatus(const std::string& text)
{
    // Anything but the search message means the target has answered. The
    // wait counts from the first search message: loading a large file does
    // not eat into it.
    if (text != kSearching)
        m_bTargetAnswered = true;
    else if (m_searchStartMs < 0)
        m_searchStartMs = Now();
    if (m_bHaveStatus && text == m_lastStatus)
        return;
    m_bHaveStatus = true;
    m_lastStatus = text;
    if (text.empty())
        return;  // the engine clears the line; there is nothing to print
    ShowStatus(text);
}

void CCliHost::ShowStatus(const std::string& text)
{
    PrintLine(m_options.out, text);
}

void CCliHost::SetProgressPos(int pos)
{
    ShowProgress(std::clamp(pos, 0, 100));
}

void CCliHost::ShowProgress(int percent)
{
    if (percent == m_nShownPercent)
        return;
    if (m_options.terminal) {
        // The reset at the start of a run draws no empty bar above the search.
        if (percent == 0 && !m_bBarOnLine) {
            m_nShownPercent = 0;
            return;
        }
        const int filled = percent * kBarWidth / 100;
        std::fprintf(m_options.out, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                     std::string(kBarWidth - filled, '.').c_str(), percent);
        std::fflush(m_options.out);
        m_bBarOnLine = true;
        m_nShownPercent = percent;
        return;
    }
    // In a log a line per tenth is enough; a reset to 0 is not worth one.
    const int step = percent / 10 * 10;
    if (m_nShownPercent < 0)
        m_nShownPercent = 0;
    if (step != m_nShownPercent) {
        if (step > 0) {
            std::fprintf(m_options.out, "Progress %d%%\n", step);
            std::fflush(m_options.out);
        }
        m_nShownPercent = step;
    }
}

void CCliHost::SetCountdown(int ticks)
{
    m_nCountdown = std::max(0, ticks);
}

void CCliHost::AdvanceTicks()
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

bool CCliHost::PumpMessages()
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

void CCliHost::ShowMessageBox(const std::string& text, const std::string& caption)
{
    PrintLine(m_options.err, caption + ": " + text);
}

void CCliHost::Beep()
{
    if (!m_options.terminal)
        return;
    std::fputc('\a', m_options.out);
    std::fflush(m_options.out);
}

bool CCliHost::OnHexLoaded(const HexLoadReport& report)
{
    // Nobody reads a warning on a bench: a damaged file is written only on request.
    if (report.HasFaults() && !m_options.force)
        return false;
    if (report.HasFaults())
        PrintLine(m_options.err, "warning: " + BadRecordsWarning(report));
    if (report.skippedHighRecords != 0)
        PrintLine(m_options.err, "note: " + SkippedHighRecordsNote());
    return true;
}

void CCliHost::OnResetCode(const ResetCodeReport& report)
{
    const std::string note = ResetCodeNote(report);
    if (!note.empty())
        PrintLine(m_options.out, note);
    const std::string warning = ResetCodeWarning(report);
    if (!warning.empty())
        PrintLine(m_options.err, "warning: " + warning);
}

void CCliHost::PrintLine(std::FILE* to, const std::string& text)
{
    EndLine();
    std::fprintf(to, "%s\n", text.c_str());
    std::fflush(to);
}

std::string CCliHost::Summary(int32_t bytesSent) const
{
    const int64_t ms = std::max<int64_t>(ElapsedMs(), 0);
    const long long rate = ms > 0 ? static_cast<long long>(bytesSent) * 1000 / ms : 0;
    char text[128];
    std::snprintf(text, sizeof text, "Sent %" PRId32 " bytes in %.1f s (%lld bytes/s)", bytesSent,
                  static_cast<double>(ms) / 1000.0, rate);
    return text;
}
