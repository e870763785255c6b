#include "BoardHost.h"
#include "ChipMismatch.h"
#include "HexOnce.h"

#include <algorithm>

BoardHost::BoardHost(Options options, IGangView& view, size_t slot, const IPortLink* port)
    : m_options(std::move(options)), m_pacer(m_options.pacer), m_view(view), m_slot(slot), m_port(port)
{
}

bool BoardHost::PumpMessages()
{
    if (m_port && m_port->LineLost())
        m_lineLost = true;
    return !m_lineLost && m_pacer.Pump();
}

void BoardHost::OnTargetAnswered(const ChipInfo* chip)
{
    m_pacer.OnTargetAnswered();
    if (chip && m_chipFoundMs < 0)
        m_chipFoundMs = m_pacer.ElapsedMs();
}

bool BoardHost::OnForeignAnswer(const uint8_t answer[2])
{
    (void)answer;
    m_foreignAnswered = true;
    const int64_t now = m_pacer.ElapsedMs();
    if (m_options.pulseReset && (m_lastPulseMs < 0 || now - m_lastPulseMs >= kForeignPulseSpacingMs)) {
        m_lastPulseMs = now;
        m_pulseTaken = m_options.pulseReset();
    }
    // A running program answers every wake-up; one stray answer is more
    // likely the late "K" of a run that was interrupted.
    if (++m_foreignAnswers == 2 && !m_options.quietSearch)
        m_view.Problem(m_slot, m_pulseTaken ? "The board answers with other bytes: its program is probably running. "
                                               "Resetting it (the bootloader listens for 1 s after a reset)"
                                             : "The board answers with other bytes: its program is probably running. "
                                               "Reset it: the bootloader listens for 1 s after a reset");
    return true;
}

void BoardHost::SetStatus(const std::string& text)
{
    if (!text.empty())  // a cleared line shows nothing
        m_view.Status(m_slot, text);
}

void BoardHost::SetProgressPos(int pos)
{
    m_view.Progress(m_slot, std::clamp(pos, 0, 100));
}

void BoardHost::ShowMessageBox(const std::string& text, const std::string& caption)
{
    m_view.Problem(m_slot, caption + ": " + text);
}

bool BoardHost::OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target)
{
    if (!m_options.force) {
        m_view.Problem(m_slot, WrongChipRefusalText(builtFor, target));
        return false;
    }
    m_wrongChipWarning = WrongChipText(builtFor, target);
    m_view.Problem(m_slot, "warning: " + m_wrongChipWarning);
    return true;
}

bool BoardHost::OnHexLoaded(const HexLoadReport& report)
{
    // Nobody reads a warning on a bench: a damaged file is written only on request.
    if (report.HasFaults() && !m_options.force)
        return false;
    if (report.HasFaults())
        m_view.Problem(m_slot, "warning: " + BadRecordsWarning(report));
    if (report.skippedHighRecords != 0)
        m_view.Problem(m_slot, "note: " + SkippedHighRecordsNote());
    return true;
}

void BoardHost::OnResetCode(const ResetCodeReport& report)
{
    const std::string note = ResetCodeNote(report);
    if (!note.empty())
        m_view.Line(m_slot, note);
    const std::string warning = ResetCodeWarning(report);
    if (!warning.empty())
        m_view.Problem(m_slot, "warning: " + warning);
}

void BoardHost::OnLoaderKnown(const LoaderInfo& info, bool eepromLeftOut)
{
    if (info.extended)
        m_view.Line(m_slot, DescribeLoader(info));
    if (eepromLeftOut)
        m_view.Problem(m_slot, "note: " + EepromLeftOutNote());
}
