#pragma once
#include "FlashHost.h"
#include "GangView.h"
#include "LineWatch.h"
#include "RunPacer.h"

// The host of one board's run in a gang run: ticks, the wait and Ctrl-C as
// for a single run, what it shows goes to the port's slot of the view, and
// a line that has gone away ends the run.
class CBoardHost : public IFlashHost {
public:
    // quietSearch: once the target has answered with neither chip, show
    // nothing of it, so that a board still running its own program
    // (answering a wake-up with bytes of its own) reads as "no board yet".
    // force: write a file built for the other chip (warned about) instead
    // of refusing it.
    CBoardHost(CRunPacer::Options pacer, IGangView& view, size_t slot, const CLineWatch& line, bool quietSearch,
               bool force);

    void SetStatus(const std::string& text) override;
    void SetProgressPos(int pos) override;
    void SetCountdown(int ticks) override { m_pacer.SetCountdown(ticks); }
    int GetCountdown() const override { return m_pacer.GetCountdown(); }
    bool PumpMessages() override;
    void ShowMessageBox(const std::string& text, const std::string& caption) override;
    void Beep() override { m_view.Beep(m_slot); }
    void OnSearchStarted() override { m_pacer.OnSearchStarted(); }
    void OnTargetAnswered(const ChipInfo* chip) override;
    bool OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target) override;
    void OnResetCode(const ResetCodeReport& report) override;

    AbandonReason Abandoned() const { return m_pacer.Abandoned(); }
    bool LineLost() const { return m_bLineLost; }
    int64_t ElapsedMs() const { return m_pacer.ElapsedMs(); }
    // Milliseconds since the start when the chip was identified; -1 if never.
    int64_t ChipFoundMs() const { return m_nChipFoundMs; }
    // The warning about a file built for the other chip, written with force;
    // empty when there was none.
    const std::string& WrongChipWarning() const { return m_wrongChipWarning; }

private:
    CRunPacer m_pacer;
    IGangView& m_view;
    size_t m_slot;
    const CLineWatch& m_line;
    bool m_bQuietSearch;
    bool m_bForce;
    std::string m_wrongChipWarning;
    bool m_bForeignAnswer = false;
    bool m_bLineLost = false;
    int64_t m_nChipFoundMs = -1;
};
