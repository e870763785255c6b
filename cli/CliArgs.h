#pragma once
#include "PortArgument.h"

#include <string>
#include <vector>

// What the command line asked for.
struct CliArgs {
    enum class Mode { Run, List, Help, Version };
    Mode mode = Mode::Run;
    bool hasPort = false;
    PortArgument port;
    double waitSeconds = -1;   // < 0: search without limit
    bool trace = false;
    std::string hexFile;
    std::string error;         // not empty: a usage error, said in these words
};

// args excludes the program name. --port and --wait take their value as the
// next word or after '='; "--" ends the options.
CliArgs ParseCliArgs(const std::vector<std::string>& args);

// The text of --help, exit statuses included.
std::string CliUsage();
