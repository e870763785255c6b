#pragma once
#include "ChipTable.h"
#include <cstdint>
#include <vector>

// The program memory of the simulated chip: 14-bit words, erased 0x3FFF.
// The bootloader's own code sits from its entry to the end of memory and is
// there from the start, as on a board fresh from the bootloader programmer.
class FlashModel {
public:
    explicit FlashModel(const ChipInfo& chip);

    static constexpr uint16_t kErased = 0x3FFF;

    const ChipInfo& Chip() const { return m_chip; }
    uint32_t Words() const { return static_cast<uint32_t>(m_words.size()); }
    // First word of the bootloader (0x760 / 0xF60); nothing at or above it
    // may be written by a frame.
    uint32_t BootEntry() const;
    // First of the four words that receive the program's reset vector.
    uint32_t VectorWords() const { return BootEntry() - 4; }

    uint16_t Word(uint32_t address) const { return m_words.at(address); }
    const std::vector<uint16_t>& AllWords() const { return m_words; }
    // The bootloader's code word at address (address >= BootEntry()).
    static uint16_t BootCodeWord(uint32_t indexFromEntry);

    // true when words [address, address + count) lie below the bootloader.
    bool Writable(uint32_t address, uint32_t count) const;
    // Writes little-endian byte pairs as words (upper two bits dropped, as
    // the chip has 14-bit words). Returns false, writing nothing, when the
    // range is not writable.
    bool WriteBytes(uint32_t address, const uint8_t* bytes, uint32_t byteCount);

private:
    const ChipInfo& m_chip;
    std::vector<uint16_t> m_words;
};
