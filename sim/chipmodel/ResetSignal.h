#pragma once
#include <csignal>

// The signal that resets the chip model. fernbow-sim passes it on to gpsim,
// which it starts with the signal blocked; the plug-in's line module
// unblocks it once its handler is in place, and then holds MCLR low for a
// millisecond of simulated time at each one. A reset asked for early waits
// instead of ending gpsim.
constexpr int kResetSignal = SIGUSR1;
