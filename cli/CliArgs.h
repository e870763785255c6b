#pragma once
#include "PortArgument.h"
#include "PortLink.h"

#include <string>
#include <vector>

// What the command line asked for.
struct CliArgs {
    enum class Mode { Run, List, Help, Version };
    Mode mode = Mode::Run;
    bool hasPort = false;
    PortArgument port;                // the first --port
    std::vector<PortArgument> ports;  // every --port, in the order given
    double waitSeconds = -1;   // < 0: search without limit
    bool trace = false;
    bool force = false;        // write a file with bad records or no end record all the same
    bool repeat = false;       // board after board until Ctrl-C or count
    int count = 0;             // with repeat: stop after this many boards (0: no limit)
    std::string logFile;       // not empty: append a CSV line per board
    int monitorBaud = 0;       // --monitor: the rate after programming; 0 without it
    bool reset = false;        // --reset: pulse resetLine before each search
    ModemLine resetLine = ModemLine::Dtr;
    bool watch = false;        // program again whenever the file changes
    int settleMs = 300;        // with watch: how long a changed file must stay the same before it is taken
    std::string hexFile;       // the file to write, or with verify to compare
    bool verify = false;       // --verify: compare the chip with hexFile, write nothing
    std::string readFile;      // --read: where the chip's content goes (then no hexFile)
    bool fullWrite = false;    // --full: write every row, also those the chip holds
    int maxBaud = 0;           // --baud: the fastest line rate to switch to (0: no cap)
    std::string error;         // not empty: a usage error, said in these words

    // Several ports, --repeat or --log: the production-bench run of
    // fernbow-cli (the one that keeps a log).
    bool Bench() const { return repeat || ports.size() > 1 || !logFile.empty(); }
};

// args excludes the program name. Options take their value as the next word
// or after '='; "--" ends the options.
CliArgs ParseCliArgs(const std::vector<std::string>& args);

// The text of --help, exit statuses included.
std::string CliUsage();
