#pragma once
#include "Bootloader.h"
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

// A bootloader on a fresh flash, fed byte by byte with a clock the test moves.
struct SimRig {
    explicit SimRig(const ChipInfo& chip, BootFaults faults = {}, BootTiming timing = {})
        : flash(chip), boot(flash, std::move(faults), timing)
    {
    }

    static constexpr uint64_t kByteNs = 520833;

    // Sends bytes back to back from the current time; returns everything the
    // board answered and whether it asked to hang up.
    std::vector<uint8_t> Send(const std::vector<uint8_t>& bytes)
    {
        std::vector<uint8_t> out;
        for (uint8_t b : bytes) {
            now += kByteNs;
            BootReply r = boot.Feed(b, now);
            out.insert(out.end(), r.bytes.begin(), r.bytes.end());
            lastDelayNs = r.delayNs;
            hungUp = hungUp || r.hangUp;
        }
        return out;
    }
    void Wait(uint64_t ns)
    {
        now += ns;
        boot.Idle(now);
    }
    std::vector<uint8_t> WakeUp() { return Send({kWakeUpByte}); }

    static std::vector<uint8_t> Frame(uint32_t word, const std::vector<uint8_t>& data, uint8_t count = 0x40)
    {
        std::vector<uint8_t> f(3 + data.size() + 1);
        f[0] = static_cast<uint8_t>(word >> 8);
        f[1] = static_cast<uint8_t>(word);
        f[2] = count;
        std::copy(data.begin(), data.end(), f.begin() + 3);
        f.pop_back();
        uint8_t sum = 0;
        for (uint8_t b : f) sum = static_cast<uint8_t>(sum + b);
        f.push_back(static_cast<uint8_t>(-sum));
        return f;
    }
    static std::vector<uint8_t> Pattern(uint8_t seed)
    {
        std::vector<uint8_t> d(64);
        for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<uint8_t>(seed + i * 7);
        return d;
    }
    // Block b of the image as a frame.
    std::vector<uint8_t> Block(uint32_t block, uint8_t seed = 1) const { return Frame(block * 32, Pattern(seed)); }

    FlashModel flash;
    Bootloader boot;
    uint64_t now = 1000000000;
    uint64_t lastDelayNs = 0;
    bool hungUp = false;
};

using Bytes = std::vector<uint8_t>;
