#pragma once
#include "EepromHex.h"
#include <cstdint>
#include <string>
#include <vector>

// Program memory as Intel HEX (low byte first, 16 bytes a record), then the
// data EEPROM one byte a word (high byte 0) at byte address 0x4200, left out
// when every byte is erased (0xFF); written to PATH.tmp and renamed, so a
// reader never sees half a file.
bool WriteHexDump(const std::string& path, const std::vector<uint16_t>& words, const EepromBytes& eeprom,
                  std::string& error);
