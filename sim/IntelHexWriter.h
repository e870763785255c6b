#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Program memory as Intel HEX: each 14-bit word as two bytes, low byte
// first, at byte address 2 x word; data records of 16 bytes, an extended
// linear address record only where the bytes pass 64 KiB, then the end record.
std::string IntelHexFromWords(const std::vector<uint16_t>& words);

// Writes content to path through a temporary file in the same folder and a
// rename, so a reader never sees half a file. false with a reason on failure.
bool WriteFileAtomically(const std::string& path, const std::string& content, std::string& error);
