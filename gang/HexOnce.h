#pragma once
#include "FlashHost.h"
#include "LoadedHex.h"

#include <string>

// Reads and checks a HEX file once for a gang run, and takes the SHA-256 of
// all of its bytes on the way (the log names the firmware by it). false with
// the message to show ("Can't open file ...: reason", "Can't read file ...").
// host hears about the load (bad records) once, and may refuse the file
// (the message then is FileRefusalText).
bool LoadHexOnce(const std::string& path, IFlashHost& host, LoadedHex& image, std::string& sha256,
                 std::string& error);

// Why a file with bad records or no end record was not written:
// "fernbow-cli: refused FILE: <faults>; nothing was written (...)".
std::string FileRefusalText(const std::string& path, const HexLoadReport& report);
// Why a file built for the other chip was not written to this target:
// "fernbow-cli: refused the file: <WrongChipText>; nothing was written (...)".
std::string WrongChipRefusalText(const ChipInfo& builtFor, const ChipInfo& target);
