#include "HexDump.h"
#include <cerrno>
#include <cstdio>
#include <cstring>

bool WriteHexDump(const std::string& path, const std::vector<uint16_t>& words, std::string& error)
{
    const std::string temporary = path + ".tmp";
    FILE* f = std::fopen(temporary.c_str(), "w");
    if (!f) {
        error = temporary + ": " + std::strerror(errno);
        return false;
    }
    const size_t bytes = words.size() * 2;
    for (size_t offset = 0; offset < bytes; offset += 16) {
        const size_t count = bytes - offset < 16 ? bytes - offset : 16;
        unsigned sum = static_cast<unsigned>(count + (offset >> 8) + (offset & 0xFF));
        std::fprintf(f, ":%02X%04X00", static_cast<unsigned>(count), static_cast<unsigned>(offset));
        for (size_t i = offset; i < offset + count; ++i) {
            const unsigned b = (i & 1) ? words[i / 2] >> 8 : words[i / 2] & 0xFF;
            std::fprintf(f, "%02X", b);
            sum += b;
        }
        std::fprintf(f, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    }
    std::fputs(":00000001FF\n", f);
    const bool written = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
