#pragma once
#include "BoardLoop.h"

#include <string>
#include <vector>

// Programs a board on every port at once (a thread each), board after board
// with shared.repeat, then hands each port's tally, and with several ports
// the total, to shared.view. Returns how it ended: Programmed when every
// board that started was programmed, otherwise the end of the first port (in
// the order given) that failed. When not every thread can be started, none
// runs: notStarted then says why and the end has no outcome.
BoardEnd RunGang(std::vector<GangPort> ports, const GangShared& shared, std::string& notStarted);
