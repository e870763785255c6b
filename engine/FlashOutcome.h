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
    Verified,            // --verify: the chip holds what the file would write
    VerifyMismatch,      // --verify: the chip differs (CFlashWriter::FirstDifference says where)
    ReadBack,            // --read: the chip's content has been read (CFlashWriter::ChipRead)
    CannotRead,          // the bootloader cannot read the chip back: nothing read
};

// Everything a front end says about an outcome, in one row.
struct FlashOutcomeText {
    const char* word;         // in a run log or a board's line: "programmed", "timeout", ...
    const char* failureText;  // what to show when the status line has not said it; nullptr when it has
};

const FlashOutcomeText& DescribeOutcome(FlashOutcome outcome);
