#pragma once
#include <string>

// A pseudo-terminal for a simulated board's serial line (fernbow-sim's and
// the chip model plug-in's): raw, 19200 8N1, the master side non-blocking,
// both sides closed on exec. The slave stays open here too, so the master never reads
// a hang-up while no host has the port. Returns the master fd, or -1 with a
// reason; slaveFd receives the held slave.
int OpenLinePty(std::string& slavePath, int& slaveFd, std::string& error);
