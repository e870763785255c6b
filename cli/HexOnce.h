#pragma once
#include "FlashHost.h"
#include "LoadedHex.h"

#include <string>

// Reads and checks a HEX file once for a bench run, and takes the SHA-256 of
// all of its bytes on the way (the log names the firmware by it). false with
// the message to show ("Can't open file ...: reason", "Can't read file ...").
// host hears about the load (bad checksums) once.
bool LoadHexOnce(const std::string& path, IFlashHost& host, LoadedHex& image, std::string& sha256,
                 std::string& error);
