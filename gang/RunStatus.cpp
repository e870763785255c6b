#include "RunStatus.h"

int ExitStatusFor(FlashOutcome outcome, AbandonReason reason)
{
    // A signal wins over whatever the engine made of the interrupted run.
    if (reason == AbandonReason::Interrupted)
        return ExitStatus::kInterrupted;
    if (outcome == FlashOutcome::Abandoned && reason == AbandonReason::WaitExpired)
        return ExitStatus::kNoTarget;
    return DescribeOutcome(outcome).exitStatus;
}
