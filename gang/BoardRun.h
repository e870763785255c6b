#pragma once
#include "BoardHost.h"
#include "FlashOutcome.h"
#include "LoadedHex.h"
#include "PortLink.h"
#include "ResetCode.h"
#include "RunStatus.h"

#include <cstdint>
#include <string>

// How one board's run ended: what a front end shows and a log keeps.
struct BoardResult {
    FlashOutcome outcome = FlashOutcome::None;
    AbandonReason abandoned = AbandonReason::None;
    bool lineLost = false;         // the port went away during the run
    bool foreignAnswered = false;  // some wake-up drew bytes that were no answer
    bool targetAnswered = false;   // a chip answered
    std::string chip;              // the chip's name; empty when none answered
    const ChipInfo* chipInfo = nullptr;
    double seconds = 0;            // from the chip's answer to the end
    int64_t elapsedMs = 0;         // from the start of the run
    int32_t bytesSent = 0;
    int32_t failedBlock = -1;      // the block of a Timeout or TransmissionProblem
    ResetCodeReport resetCode;
    std::string wrongChipWarning;  // a file for the other chip written with force
    LoaderInfo loader;             // what the bootloader said of itself
    int baud = 0;                  // the line rate the run ended at
    int32_t rowsWritten = 0;       // rows (and EEPROM rows) written
    int32_t rowsSkipped = 0;       // rows the chip already held
    int32_t firstDifference = -1;  // verify: the first word address that differs
    ChipContent chipRead;          // read: what the chip holds
    BoardEnd end;                  // no outcome until the run has one

    bool Started() const { return !chip.empty(); }
};

// One board, searched for and written on link (open; it may trace port, the
// line whose loss ends the run): the run of every front end on a terminal
// or a bench, a single board being a gang of one.
BoardResult RunBoard(const IPortLink& port, ISerialLink& link, const LoadedHex& image,
                     const BoardHost::Options& options, IGangView& view, size_t slot);

// One board from a file, a gang of one port: opens link (a line lost in an
// earlier run is opened anew), reads the file, runs the board, closes link
// (a held link stays open). The file is read as a bench reads it (HexOnce);
// a read (options.job) takes no file.
struct OneBoardRun {
    enum class Stop {
        PortNotOpened,  // nothing else happened
        FileNotLoaded,  // fileError says why (or Ctrl-C stopped the load)
        Ran,            // board says how it went
    };
    Stop stop = Stop::PortNotOpened;
    std::string fileError;
    BoardResult board;
};
OneBoardRun RunOneBoard(const IPortLink& port, ISerialLink& link, const std::string& hexFile,
                        const BoardHost::Options& options, IGangView& view);

// How a run ended: Ctrl-C wins, then a lost line, then an expired wait
// (with only bytes that were no answer, or with no target), then the outcome.
BoardEnd EndOf(const BoardResult& result);
