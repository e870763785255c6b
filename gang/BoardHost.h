#pragma once
#include "FlashHost.h"
#include "FlashWriter.h"
#include "GangView.h"
#include "PortLink.h"
#include "RunPacer.h"

#include <functional>

// The host of one board's run from a terminal or on a bench: ticks, the
// wait and Ctrl-C as the pacer keeps them, what it shows to the port's slot
// of the view, and a line that has gone away (IPortLink::LineLost) ends the
// run. Bytes that are not a bootloader's answer do not end the search: a
// board whose own program is running talks like that until it is reset.
class BoardHost : public IFlashHost {
public:
    struct Options {
        CRunPacer::Options pacer;
        // Say nothing of bytes that are no answer (a bench between boards:
        // a board still running its program is no board yet).
        bool quietSearch = false;
        // Write a file with faults, or built for the other chip (warned
        // about), instead of refusing it.
        bool force = false;
        // Resets the board (a pulse on its reset line) when bytes that are no
        // answer come; false when the line cannot be moved. Empty without --reset.
        std::function<bool()> pulseReset;
        // What the run does with the board, and how it uses a bootloader
        // that knows more than the inherited dialogue.
        enum class Job { Write, Verify, Read };
        Job job = Job::Write;
        FlashRunOptions run;
    };

    // port: the line whose loss ends the run; nullptr while only loading.
    BoardHost(Options options, IGangView& view, size_t slot, const IPortLink* port);

    void SetStatus(const std::string& text) override;
    void SetProgressPos(int pos) override;
    void SetCountdown(int ticks) override { m_pacer.SetCountdown(ticks); }
    int GetCountdown() const override { return m_pacer.GetCountdown(); }
    bool PumpMessages() override;
    void ShowMessageBox(const std::string& text, const std::string& caption) override;
    void Beep() override { m_view.Beep(m_slot); }
    void OnSearchStarted() override { m_pacer.OnSearchStarted(); }
    void OnTargetAnswered(const ChipInfo* chip) override;
    bool OnForeignAnswer(const uint8_t answer[2]) override;
    // Refuses a file with faults (the caller says so), or warns about them
    // with force.
    bool OnHexLoaded(const HexLoadReport& report) override;
    bool OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target) override;
    void OnResetCode(const ResetCodeReport& report) override;
    void OnLoaderKnown(const LoaderInfo& info, bool eepromLeftOut) override;

    AbandonReason Abandoned() const { return m_pacer.Abandoned(); }
    bool LineLost() const { return m_lineLost; }
    bool TargetAnswered() const { return m_pacer.TargetAnswered(); }
    // Some wake-up drew bytes that were no answer.
    bool ForeignAnswered() const { return m_foreignAnswered; }
    int64_t ElapsedMs() const { return m_pacer.ElapsedMs(); }
    // Milliseconds since the start when the chip was identified; -1 if never.
    int64_t ChipFoundMs() const { return m_chipFoundMs; }
    // The warning about a file built for the other chip, written with force;
    // empty when there was none.
    const std::string& WrongChipWarning() const { return m_wrongChipWarning; }

    // Below a pulse's 50 ms and the bootloader's 1 s of listening after it,
    // with room for a few wake-ups: the next pulse waits this long.
    static constexpr int kForeignPulseSpacingMs = 1500;

private:
    Options m_options;
    CRunPacer m_pacer;
    IGangView& m_view;
    size_t m_slot;
    const IPortLink* m_port;
    std::string m_wrongChipWarning;
    bool m_lineLost = false;
    bool m_foreignAnswered = false;
    int m_foreignAnswers = 0;
    int64_t m_lastPulseMs = -1;
    bool m_pulseTaken = false;
    int64_t m_chipFoundMs = -1;
};
