#include "BoardLines.h"

#include <algorithm>
#include <cinttypes>

namespace {
constexpr int kBarWidth = 40;
} // namespace

BoardLines::BoardLines(bool terminal, std::FILE* out, std::FILE* err) : m_terminal(terminal), m_out(out), m_err(err)
{
}

void BoardLines::EndLine()
{
    if (m_barOnLine) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
        m_barOnLine = false;
    }
}

void BoardLines::Status(size_t, const std::string& text)
{
    if (m_haveStatus && text == m_lastStatus)
        return;
    m_haveStatus = true;
    m_lastStatus = text;
    PrintLine(m_out, text);
}

void BoardLines::Progress(size_t, int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_shownPercent)
        return;
    if (m_terminal) {
        // The reset at the start of a run draws no empty bar above the search.
        if (percent == 0 && !m_barOnLine) {
            m_shownPercent = 0;
            return;
        }
        const int filled = percent * kBarWidth / 100;
        std::fprintf(m_out, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                     std::string(kBarWidth - filled, '.').c_str(), percent);
        std::fflush(m_out);
        m_barOnLine = true;
        m_shownPercent = percent;
        return;
    }
    // In a log a line per tenth is enough; a reset to 0 is not worth one.
    const int step = percent / 10 * 10;
    if (m_shownPercent < 0)
        m_shownPercent = 0;
    if (step != m_shownPercent) {
        if (step > 0) {
            std::fprintf(m_out, "Progress %d%%\n", step);
            std::fflush(m_out);
        }
        m_shownPercent = step;
    }
}

void BoardLines::Beep(size_t)
{
    if (!m_terminal)
        return;
    std::fputc('\a', m_out);
    std::fflush(m_out);
}

void BoardLines::PrintLine(std::FILE* to, const std::string& text)
{
    EndLine();
    std::fprintf(to, "%s\n", text.c_str());
    std::fflush(to);
}

std::string SentSummary(int32_t bytesSent, int64_t elapsedMs)
{
    const int64_t ms = std::max<int64_t>(elapsedMs, 0);
    const long long rate = ms > 0 ? static_cast<long long>(bytesSent) * 1000 / ms : 0;
    char text[128];
    std::snprintf(text, sizeof text, "Sent %" PRId32 " bytes in %.1f s (%lld bytes/s)", bytesSent,
                  static_cast<double>(ms) / 1000.0, rate);
    return text;
}
