#pragma once
#include <array>
#include <cstdint>
#include <string>

// The data EEPROM's first contents as a program's Intel HEX file holds them:
// byte n is the low byte of word 0x2100 + n (byte address 0x4200 + 2n), the
// way assemblers place "de" data. Bytes the file does not give are erased
// (0xFF). false, with the reason, when the file cannot be read or a line is
// no Intel HEX record.
using EepromBytes = std::array<uint8_t, 256>;
constexpr uint32_t kEepromHexAddress = 0x4200;
bool ReadEepromFromHex(const std::string& path, EepromBytes& bytes, std::string& error);
