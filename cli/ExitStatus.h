#pragma once
#include "RunStatus.h"

#include <string>
#include <vector>

// What fernbow-cli exits with; 0 only when the chip has been programmed
// (verified, read) as asked.
namespace ExitStatus {
constexpr int kProgrammed = 0;
constexpr int kUsage = 1;            // bad command line
constexpr int kPort = 2;             // the port cannot be opened (or names no device), or went away
constexpr int kFile = 3;             // the HEX file cannot be opened or read
constexpr int kBootArea = 4;         // the program reaches into the bootloader's area
constexpr int kUnexpectedAnswer = 5; // the target answered with neither chip
constexpr int kTimeout = 6;          // a block went unanswered
constexpr int kTransmission = 7;     // a block was refused ten times
constexpr int kNoTarget = 8;         // no target answered within --wait
constexpr int kInternal = 9;         // the run ended without an outcome (a bug)
constexpr int kDiffers = 10;         // --verify: the chip differs from the file
constexpr int kCannotRead = 11;      // --read, --verify: the bootloader cannot read the chip
constexpr int kHungUp = 129;         // SIGHUP (the terminal went away)
constexpr int kInterrupted = 130;    // Ctrl-C or SIGTERM
} // namespace ExitStatus

// The exit status of a board's run (or a gang's) that ended so.
int ExitStatusOf(const BoardEnd& end);
// The exit status of one board's session: its last run's, unless the port
// refused the monitor's rate (a usage error).
int ExitStatusOf(const SessionEnd& end);

// Every exit status and what it means, in order, as --help lists them.
struct ExitStatusMeaning {
    int status;
    std::string meaning;  // lines after the first begin with seven spaces
};
std::vector<ExitStatusMeaning> ExitStatusMeanings();
