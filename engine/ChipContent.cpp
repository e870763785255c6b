#include "ChipContent.h"

#include "IntelHexWriter.h"
#include "LoaderWire.h"

#include <algorithm>

namespace {
constexpr size_t kRowWords = 32;
constexpr size_t kRecordWords = 8;  // 16 bytes a record
constexpr uint32_t kEepromByteAddress = 2 * LoaderWire::kEepromWordAddress;
constexpr uint16_t kErasedWord = 0x3FFF;

// Records for the 16-bit values from word address base on, a row at a time,
// leaving out rows that hold only erased.
std::string RowRecords(const std::vector<uint16_t>& values, uint32_t base, uint16_t erased)
{
    std::string hex;
    for (size_t row = 0; row < values.size(); row += kRowWords) {
        const size_t end = std::min(values.size(), row + kRowWords);
        if (std::all_of(values.begin() + row, values.begin() + end, [erased](uint16_t v) { return v == erased; }))
            continue;
        for (size_t at = row; at < end; at += kRecordWords) {
            std::vector<uint8_t> bytes;
            for (size_t i = at; i < std::min(end, at + kRecordWords); ++i) {
                bytes.push_back(static_cast<uint8_t>(values[i]));
                bytes.push_back(static_cast<uint8_t>(values[i] >> 8));
            }
            hex += IntelHexRecord(2 * (base + static_cast<uint32_t>(at)), bytes);
        }
    }
    return hex;
}
}  // namespace

std::string ChipContentHex(const ChipContent& content)
{
    std::vector<uint16_t> words = content.words;
    for (size_t i = 0; i < content.moved.size() && i < words.size(); ++i)
        words[i] = content.moved[i];
    for (uint16_t& word : words)
        word &= kErasedWord;
    std::string hex = RowRecords(words, 0, kErasedWord);
    const std::vector<uint16_t> eeprom(content.eeprom.begin(), content.eeprom.end());
    hex += RowRecords(eeprom, kEepromByteAddress / 2, 0xFF);
    return hex + IntelHexEndRecord();
}
