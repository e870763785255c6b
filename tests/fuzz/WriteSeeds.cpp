// Writes the fuzzers' starting inputs into a folder: every HEX text of the
// loader's table of cases, and a board session (a wake-up and a frame for
// each chip) for the bootloader target. The real-world HEX files are added
// by scripts/fuzz.sh.
#include "LoadCases.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A session as the bootloader target reads it: chip byte, then (gap, byte) pairs.
std::string Session(bool f819)
{
    std::string s(1, f819 ? '\1' : '\0');
    auto send = [&s](uint8_t b) {
        s += '\1';
        s += static_cast<char>(b);
    };
    send(kWakeUpByte);
    uint8_t frame[kBlockFrameSize] = {0, 0x20, kBlockSize};  // block 1
    for (uint32_t i = 0; i < kBlockSize; ++i) frame[kFrameHeaderSize + i] = static_cast<uint8_t>(i);
    uint8_t sum = 0;
    for (uint32_t i = 0; i + 1 < kBlockFrameSize; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
    frame[kBlockFrameSize - 1] = static_cast<uint8_t>(-sum);
    for (uint8_t b : frame) send(b);
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds HEX_SEED_FOLDER SESSION_SEED_FOLDER\n");
        return 1;
    }
    for (const LoadCase& c : kLoadCases) Write(std::string(argv[1]) + "/" + c.name + ".hex", c.hex);
    Write(std::string(argv[2]) + "/session88", Session(false));
    Write(std::string(argv[2]) + "/session819", Session(true));
    return 0;
}
