#include "LoaderWire.h"

#include <cstdio>

using namespace LoaderWire;

bool TakeAskReply(const uint8_t reply[kAskReplySize], const ChipInfo& chip, LoaderInfo& info)
{
    uint8_t sum = 0;
    for (uint8_t i = 0; i < kAskReplySize; ++i)
        sum = static_cast<uint8_t>(sum + reply[i]);
    if (reply[0] != kAskReply || sum != kExtendedSum)
        return false;
    const uint32_t start = 256u * reply[2] + reply[3];
    // Row aligned, below the row of the moved vector, and leaving room for a program.
    const uint32_t vectorRow = chip.VectorBlock() * (kBlockSize / 2);
    if (start % (kBlockSize / 2) != 0 || start > vectorRow || start < vectorRow / 2)
        return false;
    info.extended = true;
    info.abilities = reply[1];
    info.startWord = start;
    return true;
}

std::string DescribeLoader(const LoaderInfo& info)
{
    std::string text = "bootloader " + std::to_string(info.version >> 4) + "." + std::to_string(info.version & 0x0F);
    if (!info.extended)
        return text;
    std::string abilities;
    const auto add = [&abilities](const std::string& what) { abilities += (abilities.empty() ? "" : ", ") + what; };
    add(std::to_string(FastestOfferedRate(info, 0)) + " baud");
    if (info.Has(kCanRead))
        add("read");
    if (info.Has(kCanWriteEeprom))
        add("EEPROM");
    char area[48];
    std::snprintf(area, sizeof area, "; its area from 0x%04X", static_cast<unsigned>(info.startWord));
    return text + ": " + abilities + area;
}

int FastestOfferedRate(const LoaderInfo& info, int cap)
{
    for (const FastRate& rate : kFastRates)
        if (info.Has(rate.ability) && (cap <= 0 || rate.baud <= cap))
            return rate.baud;
    return kBaseRate;
}
