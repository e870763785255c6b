#include "ExitStatus.h"

namespace {

using Stop = BoardEnd::Stop;

// One row a status: what it means, and the ends of a run that exit with it.
struct Row {
    int status;
    const char* meaning;
    std::vector<BoardEnd> ends;
};

BoardEnd Said(FlashOutcome outcome) { return BoardEnd::Ended(outcome); }
BoardEnd Stopped(Stop why) { return BoardEnd::Stopped(why); }

const std::vector<Row>& Rows()
{
    static const std::vector<Row> rows = {
        {ExitStatus::kProgrammed, "programmed (with --verify: chip and file are equal; with --read: read)",
         {Said(FlashOutcome::Programmed), Said(FlashOutcome::Verified), Said(FlashOutcome::ReadBack)}},
        {ExitStatus::kUsage, "bad command line, or the log cannot be written", {}},
        {ExitStatus::kPort,
         "the port cannot be opened, or it went away (unplugged, or the port\n"
         "       server closed the connection)",
         {Stopped(Stop::PortNotOpened), Stopped(Stop::LineLost)}},
        {ExitStatus::kFile,
         "the HEX file cannot be opened or read, holds no program data, or has\n"
         "       bad records or no end record (refused unless --force)",
         {Said(FlashOutcome::FileReadError), Said(FlashOutcome::NoProgramData), Said(FlashOutcome::FileRefused),
          Said(FlashOutcome::WrongChip), Stopped(Stop::FileNotLoaded)}},
        {ExitStatus::kBootArea, "the program reaches into the bootloader's area (refused)",
         {Said(FlashOutcome::BootAreaOverlap)}},
        {ExitStatus::kUnexpectedAnswer,
         "unexpected answer from the target: only bytes that were no\n"
         "       bootloader's answer came within --wait (its program is running)",
         {Said(FlashOutcome::UnexpectedAnswer), Stopped(Stop::ForeignAnswersOnly)}},
        {ExitStatus::kTimeout, "timeout: a block went unanswered (or had no usable answer)",
         {Said(FlashOutcome::Timeout)}},
        {ExitStatus::kTransmission, "transmission problem: a block was refused ten times",
         {Said(FlashOutcome::TransmissionProblem)}},
        {ExitStatus::kNoTarget, "no target answered within --wait", {Stopped(Stop::NoTarget)}},
        // A run stopped with no reason given has no outcome either.
        {ExitStatus::kInternal, "internal error", {Said(FlashOutcome::None), Said(FlashOutcome::Abandoned)}},
        {ExitStatus::kDiffers, "with --verify: the chip differs from the file (the first differing\n"
                               "       address is named)",
         {Said(FlashOutcome::VerifyMismatch)}},
        {ExitStatus::kCannotRead,
         "with --read or --verify: the bootloader cannot read the chip back (it\n"
         "       is not Fernbow's firmware 1.2 or later)",
         {Said(FlashOutcome::CannotRead)}},
        {ExitStatus::kHungUp, "hung up (SIGHUP): the board in hand is stopped as on Ctrl-C", {}},
        {ExitStatus::kInterrupted,
         "interrupted (Ctrl-C or SIGTERM) while programming; Ctrl-C in the\n"
         "       monitor or while watching ends with the last run's status",
         {Stopped(Stop::Interrupted)}},
    };
    return rows;
}

bool Same(const BoardEnd& a, const BoardEnd& b)
{
    return a.stop == b.stop && (a.stop != Stop::None || a.outcome == b.outcome);
}

} // namespace

int ExitStatusOf(const BoardEnd& end)
{
    for (const Row& row : Rows())
        for (const BoardEnd& rowEnd : row.ends)
            if (Same(rowEnd, end))
                return row.status;
    return ExitStatus::kInternal;
}

int ExitStatusOf(const SessionEnd& end)
{
    return end.monitorRateRefused ? ExitStatus::kUsage : ExitStatusOf(end.last);
}

std::vector<ExitStatusMeaning> ExitStatusMeanings()
{
    std::vector<ExitStatusMeaning> meanings;
    for (const Row& row : Rows())
        meanings.push_back({row.status, row.meaning});
    return meanings;
}
