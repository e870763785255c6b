#pragma once
#include "ResetCode.h"

#include <cstdint>
#include <string>
#include <vector>

// What a read took from the chip: the program memory below the bootloader's
// area, the program's first words as moved below the bootloader's entry, and
// the data EEPROM (empty when the bootloader cannot read it).
struct ChipContent {
    std::vector<uint16_t> words;  // word 0 up to the loader's area
    ResetWords moved{};
    std::vector<uint8_t> eeprom;
};

// The content as the program's own Intel HEX (INHX8M): the moved words back
// at 0..3, where the program had them; rows (32 words, or 32 EEPROM bytes)
// that are erased are left out; data EEPROM at byte address 0x4200 on, one
// byte a word.
std::string ChipContentHex(const ChipContent& content);
