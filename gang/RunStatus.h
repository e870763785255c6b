#pragma once
#include "FlashOutcome.h"

// Why the host asked the engine to stop.
enum class AbandonReason { None, Interrupted, WaitExpired };

// How a board's run ended: stopped from outside the engine (a port that did
// not open or went away, Ctrl-C, an expired wait, a file not loaded), or else
// as the engine's outcome says. Front ends decide what each means to them.
struct BoardEnd {
    enum class Stop {
        None,                // the outcome says how it ended
        PortNotOpened,
        LineLost,            // the port went away
        Interrupted,         // Ctrl-C or SIGTERM
        NoTarget,            // no target answered within the wait
        ForeignAnswersOnly,  // only bytes that were no answer came within the wait
        FileNotLoaded,       // the file could not be read, or was refused
    };
    Stop stop = Stop::None;
    FlashOutcome outcome = FlashOutcome::None;  // with Stop::None

    static BoardEnd Stopped(Stop why) { return {why, FlashOutcome::None}; }
    static BoardEnd Ended(FlashOutcome outcome) { return {Stop::None, outcome}; }
    bool Programmed() const { return stop == Stop::None && outcome == FlashOutcome::Programmed; }
    // Did what was asked: programmed, verified equal, or read.
    bool Succeeded() const
    {
        return stop == Stop::None && (outcome == FlashOutcome::Programmed || outcome == FlashOutcome::Verified ||
                                      outcome == FlashOutcome::ReadBack);
    }
};

// How one board's session (the runs with their reset pulse, monitor and
// watch) ended: refused before any run, or as its last run ended.
struct SessionEnd {
    bool monitorRateRefused = false;  // the port does not take the monitor's rate
    BoardEnd last;                    // a line lost in the monitor counts as lost
};
