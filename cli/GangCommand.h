#pragma once
#include "CliArgs.h"

#include <atomic>

// fernbow-cli with several --port or --repeat: reads the file once, opens the
// log, programs a board on every port at once (one thread each), board after
// board with --repeat, and ends with a summary. Returns the exit status: 0
// when every board that started was programmed, otherwise the status of the
// first port (in the order given) that failed.
int RunGangCommand(const CliArgs& args, const std::atomic<bool>* interrupted);
