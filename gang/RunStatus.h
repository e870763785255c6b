#pragma once
#include "FlashOutcome.h"

// Why the host asked the engine to stop.
enum class AbandonReason { None, Interrupted, WaitExpired };

// The exit status of a run that ended with outcome, the host having stopped
// it for reason.
int ExitStatusFor(FlashOutcome outcome, AbandonReason reason);
