#include "HexDump.h"

#include "IntelHexWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
std::string DumpText(const std::vector<uint16_t>& words, const EepromBytes& eeprom)
{
    std::vector<uint8_t> bytes;
    for (uint16_t w : words) {
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    std::string text = IntelHexDataRecords(bytes);
    bool erased = true;
    for (uint8_t b : eeprom) erased = erased && b == 0xFF;
    if (!erased) {
        bytes.clear();
        for (uint8_t b : eeprom) bytes.insert(bytes.end(), {b, 0});
        text += IntelHexDataRecords(bytes, kEepromHexAddress);
    }
    return text + IntelHexEndRecord();
}
}  // namespace

bool WriteHexDump(const std::string& path, const std::vector<uint16_t>& words, const EepromBytes& eeprom,
                  std::string& error)
{
    const std::string temporary = path + ".tmp";
    FILE* f = std::fopen(temporary.c_str(), "w");
    if (!f) {
        error = temporary + ": " + std::strerror(errno);
        return false;
    }
    std::fputs(DumpText(words, eeprom).c_str(), f);
    const bool written = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
