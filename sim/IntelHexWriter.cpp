#include "IntelHexWriter.h"
#include <cstdio>

namespace {
void AppendRecord(std::string& out, uint8_t type, uint16_t address, const uint8_t* data, size_t count)
{
    char field[16];
    uint8_t sum = static_cast<uint8_t>(count + (address >> 8) + (address & 0xFF) + type);
    std::snprintf(field, sizeof field, ":%02X%04X%02X", static_cast<unsigned>(count), address, type);
    out += field;
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(field, sizeof field, "%02X", data[i]);
        out += field;
        sum = static_cast<uint8_t>(sum + data[i]);
    }
    std::snprintf(field, sizeof field, "%02X\n", static_cast<uint8_t>(-sum));
    out += field;
}
}  // namespace

std::string IntelHexFromWords(const std::vector<uint16_t>& words)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(words.size() * 2);
    for (uint16_t w : words) {
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    std::string out;
    uint32_t upper = 0;
    for (size_t offset = 0; offset < bytes.size(); offset += 16) {
        const uint32_t address = static_cast<uint32_t>(offset);
        if ((address >> 16) != upper) {
            upper = address >> 16;
            const uint8_t ext[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
            AppendRecord(out, 0x04, 0, ext, 2);
        }
        const size_t count = bytes.size() - offset < 16 ? bytes.size() - offset : 16;
        AppendRecord(out, 0x00, static_cast<uint16_t>(address & 0xFFFF), bytes.data() + offset, count);
    }
    AppendRecord(out, 0x01, 0, nullptr, 0);
    return out;
}
