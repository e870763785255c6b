#include "ExitStatus.h"

int ExitStatusFor(FlashOutcome outcome, AbandonReason reason)
{
    // A signal wins over whatever the engine made of the interrupted run.
    if (reason == AbandonReason::Interrupted)
        return ExitStatus::kInterrupted;
    switch (outcome) {
    case FlashOutcome::Programmed:
        return ExitStatus::kProgrammed;
    case FlashOutcome::FileReadError:
    case FlashOutcome::NoProgramData:
    case FlashOutcome::FileRefused:
        return ExitStatus::kFile;
    case FlashOutcome::BootAreaOverlap:
        return ExitStatus::kBootArea;
    case FlashOutcome::UnexpectedAnswer:
        return ExitStatus::kUnexpectedAnswer;
    case FlashOutcome::Timeout:
        return ExitStatus::kTimeout;
    case FlashOutcome::TransmissionProblem:
        return ExitStatus::kTransmission;
    case FlashOutcome::Abandoned:
        return reason == AbandonReason::WaitExpired ? ExitStatus::kNoTarget : ExitStatus::kInternal;
    case FlashOutcome::None:
        break;
    }
    return ExitStatus::kInternal;
}
