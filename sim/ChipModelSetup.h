#pragma once
#include "ChipModel.h"
#include <string>

// Where the chip model's parts are: gpsim on PATH, the plug-in and the
// firmware beside the installed program (../lib/fernbow/gpsim, ../share/fernbow/
// firmware) or in the build tree. Each returns an empty path and says what to
// install or build when the part is missing.
std::string FindGpsim(std::string& missing);
std::string FindPlugin(const std::string& given, std::string& missing);
std::string FindFirmware(const ChipInfo& chip, const std::string& given, std::string& missing);

// The gpsim script: load the plug-in, wire the line (RB2 in, RB5 out, MCLR),
// run until the line closes, then dump the flash and quit. The line is the
// descriptor lineFd inside gpsim.
// lineFd: the chip's line in gpsim; rateFd: the host's terminal, whose rate
// the line follows; eventFd: where the plug-in tells each erase and write.
std::string ChipModelScript(const ChipModelOptions& o, const std::string& plugin, int lineFd, int rateFd,
                            int eventFd, const std::string& dumpPath);

// gpsim's name of the processor ("p16f88").
std::string GpsimProcessor(const ChipInfo& chip);
