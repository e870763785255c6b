#pragma once
#include "RunStatus.h"

#include <atomic>
#include <cstdint>
#include <functional>

// The clock side of a host: the 20 ms tick countdown, the pump's pace, and
// when to abandon (a signal, or no answer within the wait). Every host of a
// run from a terminal or on a bench keeps one.
class CRunPacer {
public:
    using ClockMs = std::function<int64_t()>;

    struct Options {
        int64_t waitMs = -1;  // how long to search (from the search's start); < 0: no limit
        const std::atomic<bool>* interrupted = nullptr;  // set by SIGINT, SIGTERM, SIGHUP
        ClockMs clock;                     // empty: the steady clock
        std::function<void(int)> sleepMs;  // empty: really sleep
    };

    explicit CRunPacer(Options options);

    void SetCountdown(int ticks);
    int GetCountdown() const { return m_nCountdown; }
    // The host's PumpMessages: false once the run is to be abandoned.
    bool Pump();
    void OnSearchStarted();
    void OnTargetAnswered() { m_bTargetAnswered = true; }

    AbandonReason Abandoned() const { return m_abandoned; }
    bool TargetAnswered() const { return m_bTargetAnswered; }
    int64_t Now() const { return m_options.clock(); }
    int64_t ElapsedMs() const { return Now() - m_startMs; }

private:
    void AdvanceTicks();

    Options m_options;
    int64_t m_startMs = 0;
    int64_t m_tickBaseMs = 0;     // start of the tick now running
    int64_t m_lastPumpMs = -1;
    int64_t m_searchStartMs = -1; // -1: no search yet
    int m_nCountdown = 0;
    bool m_bTargetAnswered = false;
    AbandonReason m_abandoned = AbandonReason::None;
};
