#pragma once
#include "ChipModel.h"
#include <string>

// Where the chip model's parts are: gpsim on PATH, the plug-in and the
// firmware as the options name them, else beside the installed program
// (../lib/fernbow/gpsim, ../share/fernbow/firmware) or in the build tree.
// false when a part is missing, with what to install or build.
struct ChipModelParts {
    std::string gpsim;
    std::string plugin;
    std::string firmware;
};
bool FindChipModelParts(const ChipModelOptions& o, ChipModelParts& parts, std::string& missing);

// The gpsim script: load the plug-in, start the data EEPROM as the firmware's
// HEX gives it, wire the line (RB2 in, RB5 out, MCLR), run until the line
// closes, then dump the flash (with a dumpPath) and quit.
// Descriptors in gpsim: lineFd the chip's line; rateFd the host's terminal,
// whose rate the line follows; eventFd where the plug-in tells each erase
// and write.
std::string ChipModelScript(const ChipModelOptions& o, const ChipModelParts& parts, int lineFd, int rateFd,
                            int eventFd, const std::string& dumpPath);

// gpsim's name of the processor ("p16f88").
std::string GpsimProcessor(const ChipInfo& chip);
