#include "FlashOutcome.h"

#include <iterator>

namespace {

struct Row {
    FlashOutcome outcome;
    FlashOutcomeText text;
};

// Abandoned has no status of its own: the caller knows why the host stopped
// the run (an expired wait, a signal) and decides.
const Row kRows[] = {
    {FlashOutcome::None, {"internal error", ExitStatus::kInternal, nullptr}},
    {FlashOutcome::Programmed, {"programmed", ExitStatus::kProgrammed, nullptr}},
    {FlashOutcome::FileReadError, {"file not read", ExitStatus::kFile, "Can't read file"}},
    {FlashOutcome::NoProgramData, {"no program data", ExitStatus::kFile, "No program data in file"}},
    {FlashOutcome::FileRefused, {"file refused", ExitStatus::kFile, nullptr}},
    {FlashOutcome::WrongChip, {"built for the other chip", ExitStatus::kFile, nullptr}},
    {FlashOutcome::BootAreaOverlap, {"boot area overlap", ExitStatus::kBootArea, nullptr}},
    {FlashOutcome::UnexpectedAnswer, {"unexpected answer", ExitStatus::kUnexpectedAnswer, nullptr}},
    {FlashOutcome::Timeout, {"timeout", ExitStatus::kTimeout, nullptr}},
    {FlashOutcome::TransmissionProblem, {"transmission problem", ExitStatus::kTransmission, nullptr}},
    {FlashOutcome::Abandoned, {"internal error", ExitStatus::kInternal, nullptr}},
};

} // namespace

const FlashOutcomeText& DescribeOutcome(FlashOutcome outcome)
{
    for (const Row& row : kRows)
        if (row.outcome == outcome)
            return row.text;
    return std::begin(kRows)->text;
}
