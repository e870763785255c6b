#pragma once
#include "FakeHost.h"
#include "FlashWriter.h"
#include "IntelHexWriter.h"
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
        MemorySource source(hex.data(), hex.size());
        return writer.LoadHex(source);
    }
    void Run(const std::string& hex)
    {
        MemorySource source(hex.data(), hex.size());
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

inline std::vector<uint8_t> Bytes(size_t n, uint8_t first = 0)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
    return v;
}
