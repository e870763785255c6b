#pragma once
#include "ExitStatus.h"
#include "FlashHost.h"

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
        int64_t waitMs = -1;          // how long to search for the target (from the first
                                      // search message); < 0: no limit
        const std::atomic<bool>* interrupted = nullptr;  // set by SIGINT, SIGTERM, SIGHUP
        bool force = false;           // write a file with faults (warned about) instead of refusing it
        ClockMs clock;                // empty: the steady clock
        std::function<void(int)> sleepMs;  // empty: really sleep
    };

    explicit CCliHost(Options options);

    void SetStatus(const std::string& text) override;
    void SetProgressPos(int pos) override;
    void SetCountdown(int ticks) override;
    int GetCountdown() const override { return m_nCountdown; }
    bool PumpMessages() override;
    void ShowMessageBox(const std::string& text, const std::string& caption) override;
    void Beep() override;
    // Refuses a file with faults (the caller says so), or warns about them
    // with force.
    bool OnHexLoaded(const HexLoadReport& report) override;
    // The mend goes to out, a reset code that cannot start the program to err.
    void OnResetCode(const ResetCodeReport& report) override;

    AbandonReason Abandoned() const { return m_abandoned; }
    bool TargetAnswered() const { return m_bTargetAnswered; }
    int64_t ElapsedMs() const { return Now() - m_startMs; }
    // Ends a progress bar line so that the next text starts on a line of its own.
    void EndLine();
    // "Sent 4352 bytes in 12.3 s (354 bytes/s)".
    std::string Summary(int32_t bytesSent) const;

protected:
    // How a status, the progress and every other line (to out, or to err for
    // problems) are shown. Here: lines, and a bar on a terminal. A bench run
    // shows them on its shared console instead.
    virtual void ShowStatus(const std::string& text);
    virtual void ShowProgress(int percent);
    // Ends a progress bar line first, so the text has a line of its own.
    virtual void PrintLine(std::FILE* to, const std::string& text);

private:
    int64_t Now() const;
    void AdvanceTicks();

    Options m_options;
    int64_t m_startMs = 0;
    int64_t m_tickBaseMs = 0;     // start of the tick now running
    int64_t m_lastPumpMs = -1;
    int64_t m_searchStartMs = -1; // first "Searching PIC!"; -1: not yet
    int m_nCountdown = 0;
    bool m_bHaveStatus = false;
    std::string m_lastStatus;
    bool m_bTargetAnswered = false;
    int m_nShownPercent = -1;
    bool m_bBarOnLine = false;
    AbandonReason m_abandoned = AbandonReason::None;
};
