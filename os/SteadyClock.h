#pragma once
#include <cstdint>

// Milliseconds on a clock that never jumps (not the wall clock): for
// time-outs and for the times a trace or a panel shows. Only differences
// mean anything.
int64_t SteadyMs();
