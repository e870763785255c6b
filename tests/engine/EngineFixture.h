#pragma once
#include "FakeHost.h"
#include "FlashWriter.h"
#include "ScriptedLink.h"
#include <string>
#include <vector>

// One engine wired to a fake host and a scripted line.
struct EngineRig {
    FakeHost host;
    ScriptedLink link{host.tick};
    CFlashWriter writer{link, host};
    ScriptedBootloader board;

    EngineRig() { board.Attach(link); }

    bool Load(const std::string& hex)
    {
        CMemorySource source(hex.data(), hex.size());
        return writer.LoadHex(source);
    }
    void Run(const std::string& hex)
    {
        CMemorySource source(hex.data(), hex.size());
        writer.LoadAndProgram(source);
    }
    // Word-address-derived block numbers of the frames sent, in order.
    std::vector<uint32_t> BlocksSent() const
    {
        std::vector<uint32_t> blocks;
        for (const auto& f : link.Frames()) blocks.push_back((((uint32_t)f[0] << 8) | f[1]) * 2 / 64);
        return blocks;
    }
};

// An Intel HEX data record with a correct checksum.
inline std::string Record(uint32_t address, const std::vector<uint8_t>& data, uint8_t type = 0)
{
    static const char* digits = "0123456789ABCDEF";
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                                  static_cast<uint8_t>(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    bytes.push_back(static_cast<uint8_t>(-sum));
    std::string line = ":";
    for (uint8_t b : bytes) {
        line += digits[b >> 4];
        line += digits[b & 15];
    }
    return line + "\n";
}
inline std::string EndRecord() { return ":00000001FF\n"; }
inline std::vector<uint8_t> Bytes(size_t n, uint8_t first = 0)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
}
