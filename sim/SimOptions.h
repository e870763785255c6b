#pragma once
#include "Bootloader.h"
#include "ChipModel.h"
#include "ChipTable.h"

#include <cstdint>
#include <string>
#include <vector>

// What fernbow-sim was asked to be: the board, its faults, or the chip model.
struct SimOptions {
    const ChipInfo* chip = &ChipF88();
    int com = -1;
    bool instant = false;
    uint32_t flashMs = 18;
    std::string dump;
    std::string log;
    uint32_t exitAfter = 0;
    uint32_t idleMs = 1000;
    uint32_t boards = 0;       // 0: one board that stays
    uint32_t faultyBoard = 0;  // 0: every board has the faults
    bool echo = false;
    bool resetControl = false;
    BootFaults faults;
    bool chipModel = false;
    ChipModelOptions model;
};

struct SimArgs {
    SimOptions options;
    bool help = false;
    std::string error;  // not empty: a usage error, said this way
};

SimArgs ParseSimArgs(const std::vector<std::string>& args);  // without the program name
const char* SimUsage();
