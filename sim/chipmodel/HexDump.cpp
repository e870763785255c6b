#include "HexDump.h"

#include "IntelHexWriter.h"

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
    std::fputs(IntelHexFromWords(words).c_str(), f);
    const bool written = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
