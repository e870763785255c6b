#pragma once
#include "PortResult.h"
#include "UniqueFd.h"
#include <string>

// Opens a serial device for reading and writing, exclusively: TIOCEXCL keeps
// other users out, and flock() keeps out a second opener that TIOCEXCL lets
// through (root). The descriptor is non-blocking; reads and writes wait with
// poll(). Nothing is configured. On failure the result is invalid and
// result says why (NotSerial when the path is not a terminal).
UniqueFd OpenSerialDeviceExclusive(const std::string& device, PortResult& result);
