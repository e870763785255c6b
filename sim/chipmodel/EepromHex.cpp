#include "EepromHex.h"
#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

namespace {
// The record's bytes from the hex digits after ':'; false on a malformed line.
bool RecordBytes(const std::string& line, std::vector<uint8_t>& bytes)
{
    size_t end = line.size();
    while (end > 0 && (line[end - 1] == '\r' || line[end - 1] == ' ')) --end;
    if (end < 11 || line[0] != ':' || (end - 1) % 2 != 0) return false;
    bytes.clear();
    uint8_t sum = 0;
    for (size_t i = 1; i < end; i += 2) {
        unsigned value = 0;
        for (size_t k = i; k < i + 2; ++k) {
            const char c = line[k];
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                            : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0) return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        bytes.push_back(static_cast<uint8_t>(value));
        sum = static_cast<uint8_t>(sum + value);
    }
    return sum == 0 && bytes.size() == bytes[0] + 5u;
}
}  // namespace

bool ReadEepromFromHex(const std::string& path, EepromBytes& eeprom, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    eeprom.fill(0xFF);
    uint32_t upper = 0;  // from extended address records
    std::vector<uint8_t> record;
    unsigned number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.empty() || line == "\r") continue;
        if (!RecordBytes(line, record)) {
            error = path + ": line " + std::to_string(number) + " is no Intel HEX record";
            return false;
        }
        const uint32_t offset = static_cast<uint32_t>(record[1]) << 8 | record[2];
        const uint8_t type = record[3];
        if (type == 0x01) break;
        if (type == 0x02 || type == 0x04) {
            const uint32_t value = record.size() > 6 ? (static_cast<uint32_t>(record[4]) << 8 | record[5]) : 0;
            upper = type == 0x04 ? value << 16 : value << 4;
            continue;
        }
        if (type != 0x00) continue;
        for (uint32_t i = 0; i < record[0]; ++i) {
            const uint32_t address = upper + offset + i;
            if (address < kEepromHexAddress || address >= kEepromHexAddress + 2 * eeprom.size() || (address & 1))
                continue;
            eeprom[(address - kEepromHexAddress) / 2] = record[4 + i];
        }
    }
    return true;
}
