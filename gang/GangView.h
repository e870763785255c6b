#pragma once
#include "RunStatus.h"

#include <cstddef>
#include <string>

// How one port's boards went.
struct PortTally {
    int programmed = 0;
    int failed = 0;
    double programmedSeconds = 0;  // summed over the programmed boards
    // How the port's first failed board (or the port itself) ended; Programmed when none failed.
    BoardEnd end = BoardEnd::Ended(FlashOutcome::Programmed);
};

// What a gang run shows, port by port (a port is a slot, numbered in the
// order given). Called from every port's thread at once: an implementation
// locks for itself.
class IGangView {
public:
    virtual ~IGangView() = default;

    // The port's current status line and progress (0..100).
    virtual void Status(size_t slot, const std::string& text) = 0;
    virtual void Progress(size_t slot, int percent) = 0;
    // A line that stays: a board's result, the port going or coming back.
    virtual void Line(size_t slot, const std::string& text) = 0;
    // A problem (an open error, a warning, the boot-area refusal).
    virtual void Problem(size_t slot, const std::string& text) = 0;
    // A line of the byte trace.
    virtual void Trace(size_t slot, const std::string& text) = 0;
    // A board has been programmed.
    virtual void Beep(size_t slot) = 0;
    // At the end: the port's tally, then (with several ports) all of them.
    virtual void Summary(size_t slot, const PortTally& tally) = 0;
    virtual void Total(const PortTally& tally) = 0;
};
