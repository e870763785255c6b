#include "IntelHexWriter.h"

#include <cstdio>

std::string IntelHexRecord(uint8_t type, uint32_t address, const uint8_t* data, size_t count)
{
    char field[16];
    const uint16_t low = static_cast<uint16_t>(address & 0xFFFF);
    uint8_t sum = static_cast<uint8_t>(count + (low >> 8) + (low & 0xFF) + type);
    std::snprintf(field, sizeof field, ":%02X%04X%02X", static_cast<unsigned>(count & 0xFF), low, type);
    std::string out = field;
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(field, sizeof field, "%02X", data[i]);
        out += field;
        sum = static_cast<uint8_t>(sum + data[i]);
    }
    std::snprintf(field, sizeof field, "%02X\n", static_cast<uint8_t>(-sum));
    return out + field;
}

std::string IntelHexRecord(uint32_t address, const std::vector<uint8_t>& data, uint8_t type)
{
    return IntelHexRecord(type, address, data.data(), data.size());
}

std::string IntelHexEndRecord() { return ":00000001FF\n"; }

std::string IntelHexDataRecords(const std::vector<uint8_t>& bytes, uint32_t address)
{
    std::string out;
    uint32_t upper = 0;
    for (size_t offset = 0; offset < bytes.size(); offset += 16) {
        const uint32_t at = address + static_cast<uint32_t>(offset);
        if ((at >> 16) != upper) {
            upper = at >> 16;
            const uint8_t ext[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
            out += IntelHexRecord(0x04, 0, ext, 2);
        }
        const size_t count = bytes.size() - offset < 16 ? bytes.size() - offset : 16;
        out += IntelHexRecord(0x00, at, bytes.data() + offset, count);
    }
    return out;
}

std::string IntelHexFromWords(const std::vector<uint16_t>& words)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(words.size() * 2);
    for (uint16_t w : words) {
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    return IntelHexDataRecords(bytes) + IntelHexEndRecord();
}
