#include "BoardRun.h"

#include "FlashWriter.h"

BoardResult RunBoard(const IPortLink& port, ISerialLink& link, const LoadedHex& image,
                     const CBoardHost::Options& options, IGangView& view, size_t slot)
{
    CBoardHost host(options, view, slot, &port);
    CFlashWriter writer(link, host);
    writer.ProgramKept(image);

    BoardResult result;
    result.outcome = writer.LastOutcome();
    result.abandoned = host.Abandoned();
    result.lineLost = host.LineLost();
    result.foreignAnswered = host.ForeignAnswered();
    result.targetAnswered = host.TargetAnswered();
    result.chip = writer.Chip() ? writer.Chip()->name : "";
    if (host.ChipFoundMs() >= 0)
        result.seconds = static_cast<double>(host.ElapsedMs() - host.ChipFoundMs()) / 1000.0;
    result.elapsedMs = host.ElapsedMs();
    result.bytesSent = writer.BytesSent();
    result.failedBlock = writer.FailedBlock();
    result.resetCode = writer.LastResetCode();
    result.exitStatus = BoardExitStatus(result);
    return result;
}

int BoardExitStatus(const BoardResult& result)
{
    if (result.abandoned == AbandonReason::Interrupted)
        return ExitStatus::kInterrupted;
    if (result.lineLost)
        return ExitStatus::kPort;
    if (result.abandoned == AbandonReason::WaitExpired && result.foreignAnswered)
        return ExitStatus::kUnexpectedAnswer;
    return ExitStatusFor(result.outcome, result.abandoned);
}
