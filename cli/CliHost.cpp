#include "CliHost.h"
#include "ChipMismatch.h"
#include "HexOnce.h"

#include <algorithm>
#include <cinttypes>

namespace {
constexpr int kBarWidth = 40;

CRunPacer::Options PacerOptions(const CCliHost::Options& options)
{
    CRunPacer::Options pacer;
    pacer.waitMs = options.waitMs;
    pacer.interrupted = options.interrupted;
    pacer.clock = options.clock;
    pacer.sleepMs = options.sleepMs;
    return pacer;
}
} // namespace

CCliHost::CCliHost(Options options) : m_options(std::move(options)), m_pacer(PacerOptions(m_options)) {}

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
    if (m_bHaveStatus && text == m_lastStatus)
        return;
    m_bHaveStatus = true;
    m_lastStatus = text;
    if (text.empty())
        return;  // the engine clears the line; there is nothing to print
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

bool CCliHost::OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target)
{
    PrintLine(m_options.err, m_options.force ? "warning: " + WrongChipText(builtFor, target)
                                             : WrongChipRefusalText(builtFor, target));
    return m_options.force;
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
