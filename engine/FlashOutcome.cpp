#include "FlashOutcome.h"

#include <iterator>

namespace {

struct Row {
    FlashOutcome outcome;
    FlashOutcomeText text;
};

// Abandoned has no word of its own: the caller knows why the host stopped
// the run (an expired wait, a signal) and says so.
const Row kRows[] = {
    {FlashOutcome::None, {"internal error", nullptr}},
    {FlashOutcome::Programmed, {"programmed", nullptr}},
    {FlashOutcome::FileReadError, {"file not read", "Can't read file"}},
    {FlashOutcome::NoProgramData, {"no program data", "No program data in file"}},
    {FlashOutcome::FileRefused, {"file refused", nullptr}},
    {FlashOutcome::WrongChip, {"built for the other chip", nullptr}},
    {FlashOutcome::BootAreaOverlap, {"boot area overlap", nullptr}},
    {FlashOutcome::UnexpectedAnswer, {"unexpected answer", nullptr}},
    {FlashOutcome::Timeout, {"timeout", nullptr}},
    {FlashOutcome::TransmissionProblem, {"transmission problem", nullptr}},
    {FlashOutcome::Abandoned, {"internal error", nullptr}},
    {FlashOutcome::Verified, {"verified", nullptr}},
    {FlashOutcome::VerifyMismatch, {"differs", nullptr}},
    {FlashOutcome::ReadBack, {"read", nullptr}},
    {FlashOutcome::CannotRead, {"cannot read", nullptr}},
};

} // namespace

const FlashOutcomeText& DescribeOutcome(FlashOutcome outcome)
{
    for (const Row& row : kRows)
        if (row.outcome == outcome)
            return row.text;
    return std::begin(kRows)->text;
}
