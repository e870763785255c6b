#pragma once
#include <string>

// A pseudo-terminal for the chip's serial line: raw, 19200 8N1, the master
// side non-blocking. The slave stays open here too, so the master never reads
// a hang-up while no host has the port. Returns the master fd, or -1 with a
// reason; slaveFd receives the held slave.
int OpenLinePty(std::string& slavePath, int& slaveFd, std::string& error);
