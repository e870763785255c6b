#pragma once

// How the last run ended; the status line says the same in words.
enum class FlashOutcome {
    None,                // no run yet
    Programmed,          // "Pic successfully programmed! "
    FileReadError,       // the file could not be read (or no image could be had): nothing sent
    NoProgramData,       // the file gave not one byte of program: nothing sent
    FileRefused,         // the host refused the file for its faults: nothing sent
    WrongChip,           // the host refused a file built for the other chip: nothing sent
    BootAreaOverlap,     // refused before anything was sent
    UnexpectedAnswer,    // "Unexpected responce form target"
    Timeout,             // "Timeout!"
    TransmissionProblem, // "Transmission problem"
    Abandoned,           // the host's pump asked to stop
};

// The exit statuses of the programs that run the engine from a command
// line; 0 only when the chip has been programmed.
namespace ExitStatus {
constexpr int kProgrammed = 0;
constexpr int kUsage = 1;            // bad command line
constexpr int kPort = 2;             // the port cannot be opened (or names no device)
constexpr int kFile = 3;             // the HEX file cannot be opened or read
constexpr int kBootArea = 4;         // the program reaches into the bootloader's area
constexpr int kUnexpectedAnswer = 5; // the target answered with neither chip
constexpr int kTimeout = 6;          // a block went unanswered
constexpr int kTransmission = 7;     // a block was refused ten times
constexpr int kNoTarget = 8;         // no target answered within --wait
constexpr int kInternal = 9;         // the run ended without an outcome (a bug)
constexpr int kHungUp = 129;         // SIGHUP (the terminal went away)
constexpr int kInterrupted = 130;    // Ctrl-C or SIGTERM
} // namespace ExitStatus

// Everything a front end says about an outcome, in one row.
struct FlashOutcomeText {
    const char* word;         // in a run log or a board's line: "programmed", "timeout", ...
    int exitStatus;           // ExitStatus::k...
    const char* failureText;  // what to show when the status line has not said it; nullptr when it has
};

const FlashOutcomeText& DescribeOutcome(FlashOutcome outcome);
