#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Program memory as Intel HEX: each 14-bit word as two bytes, low byte
// first, at byte address 2 x word; data records of 16 bytes, an extended
// linear address record only where the bytes pass 64 KiB, then the end record.
std::string IntelHexFromWords(const std::vector<uint16_t>& words);
