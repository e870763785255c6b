#include "BoardConsole.h"

#include "ExitStatus.h"

#include <algorithm>

namespace {
constexpr int kBarWidth = 20;
// Keeps a panel line on one row of an ordinary terminal, or it would wrap
// and the redraw would climb too few rows.
constexpr size_t kPanelColumns = 79;

std::string TallyText(const PortTally& tally)
{
    char text[128];
    std::snprintf(text, sizeof text, "%d programmed, %d failed", tally.programmed, tally.failed);
    std::string line = text;
    if (tally.programmed > 0) {
        std::snprintf(text, sizeof text, ", %.1f s per board", tally.programmedSeconds / tally.programmed);
        line += text;
    }
    if (!tally.end.Programmed())
        line += " (exit status " + std::to_string(ExitStatusOf(tally.end)) + ")";
    return line;
}
} // namespace

BoardConsole::BoardConsole(std::vector<std::string> ports, Style style, std::FILE* out, std::FILE* err)
    : m_style(style), m_out(out), m_err(err)
{
    for (std::string& port : ports) {
        m_nameWidth = std::max(m_nameWidth, port.size());
        m_slots.push_back(Slot{std::move(port), "", 0, 0});
    }
}

std::string BoardConsole::PanelLine(const Slot& slot) const
{
    const int filled = slot.percent * kBarWidth / 100;
    char bar[64];
    std::snprintf(bar, sizeof bar, " [%s%s] %3d%%  ", std::string(filled, '#').c_str(),
                  std::string(kBarWidth - filled, '.').c_str(), slot.percent);
    std::string line = slot.port + std::string(m_nameWidth - slot.port.size(), ' ') + bar + slot.status;
    if (line.size() > kPanelColumns)
        line.resize(kPanelColumns);
    return line;
}

void BoardConsole::ClearPanel()
{
    if (!m_panelDrawn)
        return;
    // Up to the panel's first row, then clear to the end of the screen.
    std::fprintf(m_out, "\x1b[%zuA\r\x1b[J", m_slots.size());
    m_panelDrawn = false;
}

void BoardConsole::DrawPanel()
{
    if (m_panelDrawn)
        std::fprintf(m_out, "\x1b[%zuA", m_slots.size());
    for (const Slot& slot : m_slots)
        std::fprintf(m_out, "\r\x1b[2K%s\n", PanelLine(slot).c_str());
    std::fflush(m_out);
    m_panelDrawn = true;
}

void BoardConsole::Lasting(std::FILE* to, const std::string& text)
{
    if (m_style == Style::Panel) {
        ClearPanel();
        std::fflush(m_out);
    }
    std::fprintf(to, "%s\n", text.c_str());
    std::fflush(to);
    if (m_style == Style::Panel)
        DrawPanel();
}

void BoardConsole::Status(size_t slot, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Slot& s = m_slots[slot];
    if (text == s.status)
        return;
    s.status = text;
    if (m_style == Style::Panel) {
        DrawPanel();
        return;
    }
    std::fprintf(m_out, "%s: %s\n", s.port.c_str(), text.c_str());
    std::fflush(m_out);
}

void BoardConsole::Progress(size_t slot, int percent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Slot& s = m_slots[slot];
    percent = std::clamp(percent, 0, 100);
    if (percent == s.percent)
        return;
    s.percent = percent;
    if (m_style == Style::Panel) {
        DrawPanel();
        return;
    }
    // A line per tenth, as for one port; a reset to 0 is not worth one.
    const int tenth = percent / 10 * 10;
    if (tenth != s.shownTenth && tenth > 0) {
        std::fprintf(m_out, "%s: Progress %d%%\n", s.port.c_str(), tenth);
        std::fflush(m_out);
    }
    s.shownTenth = tenth;
}

void BoardConsole::Line(size_t slot, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Lasting(m_out, m_slots[slot].port + ": " + text);
}

void BoardConsole::Problem(size_t slot, const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Lasting(m_err, m_slots[slot].port + ": " + text);
}

void BoardConsole::Note(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Lasting(m_out, text);
}

void BoardConsole::Beep(size_t)
{
    if (m_style != Style::Panel)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fputc('\a', m_out);
    std::fflush(m_out);
}

void BoardConsole::Summary(size_t slot, const PortTally& tally)
{
    Note("Summary " + m_slots[slot].port + ": " + TallyText(tally));
}

void BoardConsole::Total(const PortTally& tally)
{
    Note("Summary, all ports: " + TallyText(tally));
}
