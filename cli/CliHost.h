#pragma once
#include "FlashHost.h"
#include "RunPacer.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// The engine's host on a terminal or in a script. Ticks come from a
// monotonic clock (milliseconds, injectable for tests); statuses go to out,
// each once while it stays the same; problems go to err.
class CCliHost : public IFlashHost {
public:
    using ClockMs = std::function<int64_t()>;

    struct Options {
        std::FILE* out = stdout;
        std::FILE* err = stderr;
        bool terminal = false;        // draw a progress bar and beep
        int64_t waitMs = -1;          // how long to search for the target (from the start
                                      // of the search); < 0: no limit
        const std::atomic<bool>* interrupted = nullptr;  // set by SIGINT, SIGTERM, SIGHUP
        bool force = false;           // write a file with faults, or built for the other chip
                                      // (warned about), instead of refusing it
        ClockMs clock;                // empty: the steady clock
        std::function<void(int)> sleepMs;  // empty: really sleep
    };

    explicit CCliHost(Options options);

    void SetStatus(const std::string& text) override;
    void SetProgressPos(int pos) override;
    void SetCountdown(int ticks) override { m_pacer.SetCountdown(ticks); }
    int GetCountdown() const override { return m_pacer.GetCountdown(); }
    bool PumpMessages() override { return m_pacer.Pump(); }
    void OnSearchStarted() override { m_pacer.OnSearchStarted(); }
    void OnTargetAnswered(const ChipInfo*) override { m_pacer.OnTargetAnswered(); }
    void ShowMessageBox(const std::string& text, const std::string& caption) override;
    void Beep() override;
    // Refuses a file with faults (the caller says so), or warns about them
    // with force.
    bool OnHexLoaded(const HexLoadReport& report) override;
    // Refuses a file built for the other chip (saying so on err), or warns
    // about it with force.
    bool OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target) override;
    // The mend goes to out, a reset code that cannot start the program to err.
    void OnResetCode(const ResetCodeReport& report) override;

    AbandonReason Abandoned() const { return m_pacer.Abandoned(); }
    bool TargetAnswered() const { return m_pacer.TargetAnswered(); }
    int64_t ElapsedMs() const { return m_pacer.ElapsedMs(); }
    // Ends a progress bar line so that the next text starts on a line of its own.
    void EndLine();
    // "Sent 4352 bytes in 12.3 s (354 bytes/s)".
    std::string Summary(int32_t bytesSent) const;

private:
    void ShowProgress(int percent);
    // Ends a progress bar line first, so the text has a line of its own.
    void PrintLine(std::FILE* to, const std::string& text);

    Options m_options;
    CRunPacer m_pacer;
    bool m_bHaveStatus = false;
    std::string m_lastStatus;
    int m_nShownPercent = -1;
    bool m_bBarOnLine = false;
};
