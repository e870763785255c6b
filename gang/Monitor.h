#pragma once
#include "MonitorTerminal.h"
#include "PortLink.h"

#include <atomic>
#include <functional>

// How a stretch of monitoring ended.
enum class MonitorEnd {
    Interrupted,  // Ctrl-C (the key in a raw terminal, or the signal)
    LineLost,     // the board's port went away
    OutputClosed, // standard output has closed (its reader went away) or failed
    Paused,       // pause() asked for the line back (the file changed)
};

// Copies the board's bytes to standard output as they come, and standard
// input to the board, until one of the ends above. pause may be empty.
MonitorEnd RunMonitor(IPortLink& port, MonitorTerminal& terminal, const std::atomic<bool>* interrupted,
                      const std::function<bool()>& pause);
