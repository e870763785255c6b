#include "FlashModel.h"
#include <cstring>

namespace {
// RETLW 'c' for each character: a signature anyone can spot in a dump.
const char kSignature[] = "Fernbow bootloader ";
}  // namespace

FlashModel::FlashModel(const ChipInfo& chip)
    : m_chip(chip), m_words(static_cast<size_t>(chip.flashWords), kErased)
{
    for (uint32_t a = BootEntry(); a < Words(); ++a) m_words[a] = BootCodeWord(a - BootEntry());
}

uint32_t FlashModel::BootEntry() const { return m_chip.BootBoundary() / 2 + 4; }

uint16_t FlashModel::BootCodeWord(uint32_t indexFromEntry)
{
    const size_t n = std::strlen(kSignature);
    return static_cast<uint16_t>(0x3400 | static_cast<uint8_t>(kSignature[indexFromEntry % n]));
}

bool FlashModel::Writable(uint32_t address, uint32_t count) const
{
    return address < BootEntry() && count <= BootEntry() - address;
}

bool FlashModel::WriteBytes(uint32_t address, const uint8_t* bytes, uint32_t byteCount)
{
    const uint32_t count = byteCount / 2;
    if (!Writable(address, count)) return false;
    for (uint32_t i = 0; i < count; ++i)
        m_words[address + i] = static_cast<uint16_t>((bytes[2 * i] | (bytes[2 * i + 1] << 8)) & 0x3FFF);
    return true;
}
