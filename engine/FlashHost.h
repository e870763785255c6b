#pragma once
#include "ChipTable.h"
#include "HexLoadReport.h"
#include "LoaderWire.h"
#include "ResetCode.h"
#include <cstdint>
#include <string>

// What a programming run needs from the front end that hosts it: somewhere to
// report, a tick countdown and a pump that keeps the front end alive while the
// engine waits. The dialog, the command line and the tests each provide one.
class IFlashHost {
public:
    virtual ~IFlashHost() = default;

    // Replaces the whole status text.
    virtual void SetStatus(const std::string& text) = 0;
    // Moves the progress bar (range 0..100; larger values show a full bar).
    virtual void SetProgressPos(int pos) = 0;

    // The tick countdown: the engine stores a number of 20 ms ticks and polls
    // it; the host counts it down to zero, one per tick that passes.
    virtual void SetCountdown(int ticks) = 0;
    virtual int GetCountdown() const = 0;

    // Handles whatever is pending in the front end (timer ticks, window
    // events, signals) and returns at once. false means the run must be
    // abandoned now (window closed, Ctrl-C, search time used up): the engine
    // then stops without touching the status line.
    virtual bool PumpMessages() = 0;

    // A modal box with an OK button, captioned as given. Used for the
    // boot-area refusal.
    virtual void ShowMessageBox(const std::string& text, const std::string& caption) = 0;
    // The default system beep, sounded when a run succeeds.
    virtual void Beep() = 0;

    // Told once per search, before the first wake-up byte: the status
    // texts that follow are presentation only, this is the event.
    virtual void OnSearchStarted() {}
    // Told once the target has answered a wake-up byte, before the status
    // says so: chip is the chip it named, nullptr when the answer names
    // neither (the run then ends as FlashOutcome::UnexpectedAnswer).
    virtual void OnTargetAnswered(const ChipInfo* chip) { (void)chip; }
    // Told when a wake-up byte drew bytes that name neither chip (answer[0]
    // is the first; answer[1] the second, 0 when none came). true: they are
    // not taken as the target's answer and the search goes on (a board whose
    // own program is running talks like that); false, the default: the
    // target is told as answered with nullptr and the run ends as
    // FlashOutcome::UnexpectedAnswer.
    virtual bool OnForeignAnswer(const uint8_t answer[2])
    {
        (void)answer;
        return false;
    }

    // Told once the file has been loaded and holds program data, before the
    // target is searched for and before anything is sent. false refuses the
    // file: nothing is sent and the run ends as FlashOutcome::FileRefused.
    virtual bool OnHexLoaded(const HexLoadReport& report)
    {
        (void)report;
        return true;
    }
    // Told once the target has answered, before anything is sent, when the
    // file shows it was built for the other chip (ChipBuiltFor). false
    // refuses the file: nothing is sent and the run ends as
    // FlashOutcome::WrongChip. The user should hear why (WrongChipText).
    virtual bool OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target)
    {
        (void)builtFor;
        (void)target;
        return true;
    }
    // Told once the chip has answered and the run knows what its bootloader
    // can do (info.extended false: only the inherited dialogue);
    // eepromLeftOut when the file's data EEPROM will not be written.
    virtual void OnLoaderKnown(const LoaderInfo& info, bool eepromLeftOut)
    {
        (void)info;
        (void)eepromLeftOut;
    }
    // Told once the chip is known and the image may be sent, before the
    // first block: what was placed below the bootloader's entry. When
    // report.Warns() the run goes on, but the program will not start; the
    // user should hear why (ResetCodeWarning) once.
    virtual void OnResetCode(const ResetCodeReport& report) { (void)report; }
};
