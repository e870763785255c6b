#include "BoardHost.h"

#include "ChipTable.h"

namespace {
const char kSearching[] = "Searching PIC!";

bool IsChipFound(const std::string& text)
{
    return text == ChipF819().foundText || text == ChipF88().foundText;
}
} // namespace

CBoardHost::CBoardHost(Options options, CBoardConsole& console, size_t slot, const CLineWatch& line,
                       bool quietSearch)
    : CCliHost(options), m_err(options.err), m_console(console), m_slot(slot), m_line(line), m_bQuietSearch(quietSearch)
{
}

bool CBoardHost::PumpMessages()
{
    if (m_line.Lost())
        m_bLineLost = true;
    return !m_bLineLost && CCliHost::PumpMessages();
}

void CBoardHost::ShowStatus(const std::string& text)
{
    if (m_nChipFoundMs < 0 && IsChipFound(text))
        m_nChipFoundMs = ElapsedMs();
    if (m_bQuietSearch && m_nChipFoundMs < 0 && text != kSearching)
        return;
    m_console.Status(m_slot, text);
}

void CBoardHost::ShowProgress(int percent)
{
    m_console.Progress(m_slot, percent);
}

void CBoardHost::PrintLine(std::FILE* to, const std::string& text)
{
    if (to == m_err)
        m_console.Problem(m_slot, text);
    else
        m_console.Line(m_slot, text);
}
