#pragma once
#include "ChipTable.h"
#include <cstdint>
#include <functional>
#include <string>

// The board as a simulated chip that runs real bootloader firmware: gpsim
// with Fernbow's plug-in (program memory the chip writes itself, the serial
// line paced to the wall clock), reached through a pseudo-terminal like the
// bootloader model.
struct ChipModelOptions {
    const ChipInfo* chip = nullptr;
    std::string firmware;       // HEX of the bootloader; empty: the one built or installed
    std::string plugin;         // the gpsim plug-in; empty: the one built or installed
    int com = -1;               // also appear as COMn
    std::string dump;           // program memory as Intel HEX at exit
    uint32_t exitAfter = 0;     // sessions in which the chip wrote its flash (0: no limit)
    uint64_t sessionIdleNs = 1000000000;
    uint32_t corruptByte = 0;   // number (from 1) of the byte into the chip to corrupt
    uint32_t dropByte = 0;      // ... to leave out
    uint32_t dropFastByte = 0;  // ... to leave out, counting those sent while the host is not at 19200
    bool unpaced = false;       // simulated time as fast as gpsim goes
};

using ChipModelLog = std::function<void(uint64_t timeNs, const std::string& text)>;

// Runs until stopFd turns readable, exitAfter sessions have ended, or gpsim
// ends. SIGUSR1 holds the chip's MCLR low for a millisecond of simulated
// time. Returns the exit status (0, or 1 with the reason on standard error).
int RunChipModel(const ChipModelOptions& options, int stopFd, const ChipModelLog& log);
