#include "BoardHost.h"
#include "ChipMismatch.h"
#include "HexOnce.h"

#include <algorithm>

CBoardHost::CBoardHost(CRunPacer::Options pacer, IGangView& view, size_t slot, const CLineWatch& line,
                       bool quietSearch, bool force)
    : m_pacer(std::move(pacer)), m_view(view), m_slot(slot), m_line(line), m_bQuietSearch(quietSearch),
      m_bForce(force)
{
}

bool CBoardHost::PumpMessages()
{
    if (m_line.Lost())
        m_bLineLost = true;
    return !m_bLineLost && m_pacer.Pump();
}

void CBoardHost::OnTargetAnswered(const ChipInfo* chip)
{
    m_pacer.OnTargetAnswered();
    if (chip && m_nChipFoundMs < 0)
        m_nChipFoundMs = m_pacer.ElapsedMs();
    m_bForeignAnswer = chip == nullptr;
}

void CBoardHost::SetStatus(const std::string& text)
{
    if (text.empty() || (m_bQuietSearch && m_bForeignAnswer))
        return;  // a cleared line shows nothing; a foreign answer is no board yet
    m_view.Status(m_slot, text);
}

void CBoardHost::SetProgressPos(int pos)
{
    m_view.Progress(m_slot, std::clamp(pos, 0, 100));
}

void CBoardHost::ShowMessageBox(const std::string& text, const std::string& caption)
{
    m_view.Problem(m_slot, caption + ": " + text);
}

bool CBoardHost::OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target)
{
    if (!m_bForce) {
        m_view.Problem(m_slot, WrongChipRefusalText(builtFor, target));
        return false;
    }
    m_wrongChipWarning = WrongChipText(builtFor, target);
    m_view.Problem(m_slot, "warning: " + m_wrongChipWarning);
    return true;
}

void CBoardHost::OnResetCode(const ResetCodeReport& report)
{
    const std::string note = ResetCodeNote(report);
    if (!note.empty())
        m_view.Line(m_slot, note);
    const std::string warning = ResetCodeWarning(report);
    if (!warning.empty())
        m_view.Problem(m_slot, "warning: " + warning);
}
