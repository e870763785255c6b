#include "BoardRun.h"

#include "FlashWriter.h"
#include "HexOnce.h"

BoardResult RunBoard(const IPortLink& port, ISerialLink& link, const LoadedHex& image,
                     const BoardHost::Options& options, IGangView& view, size_t slot)
{
    BoardHost host(options, view, slot, &port);
    CFlashWriter writer(link, host);
    writer.SetRunOptions(options.run);
    switch (options.job) {
    case BoardHost::Options::Job::Write:
        writer.ProgramKept(image);
        break;
    case BoardHost::Options::Job::Verify:
        writer.VerifyKept(image);
        break;
    case BoardHost::Options::Job::Read:
        writer.ReadChip();
        break;
    }

    BoardResult result;
    result.outcome = writer.LastOutcome();
    result.abandoned = host.Abandoned();
    result.lineLost = host.LineLost();
    result.foreignAnswered = host.ForeignAnswered();
    result.targetAnswered = host.TargetAnswered();
    result.chip = writer.Chip() ? writer.Chip()->name : "";
    result.chipInfo = writer.Chip();
    if (host.ChipFoundMs() >= 0)
        result.seconds = static_cast<double>(host.ElapsedMs() - host.ChipFoundMs()) / 1000.0;
    result.elapsedMs = host.ElapsedMs();
    result.bytesSent = writer.BytesSent();
    result.failedBlock = writer.FailedBlock();
    result.resetCode = writer.LastResetCode();
    result.wrongChipWarning = host.WrongChipWarning();
    result.loader = writer.Loader();
    result.baud = writer.Baud();
    result.rowsWritten = writer.RowsWritten();
    result.rowsSkipped = writer.RowsSkipped();
    result.firstDifference = writer.FirstDifference();
    result.chipRead = writer.ChipRead();
    result.end = EndOf(result);
    return result;
}

OneBoardRun RunOneBoard(const IPortLink& port, ISerialLink& link, const std::string& hexFile,
                        const BoardHost::Options& options, IGangView& view)
{
    OneBoardRun run;
    if (!link.Open())
        return run;
    LoadedHex image;
    std::string sha256;
    BoardHost loader(options, view, 0, nullptr);
    if (options.job == BoardHost::Options::Job::Read) {
        run.stop = OneBoardRun::Stop::Ran;
        run.board = RunBoard(port, link, image, options, view, 0);
    } else if (!LoadHexOnce(hexFile, loader, image, sha256, run.fileError)) {
        run.stop = OneBoardRun::Stop::FileNotLoaded;
    } else {
        run.stop = OneBoardRun::Stop::Ran;
        run.board = RunBoard(port, link, image, options, view, 0);
    }
    link.Close();
    return run;
}

BoardEnd EndOf(const BoardResult& result)
{
    if (result.abandoned == AbandonReason::Interrupted)
        return BoardEnd::Stopped(BoardEnd::Stop::Interrupted);
    if (result.lineLost)
        return BoardEnd::Stopped(BoardEnd::Stop::LineLost);
    if (result.abandoned == AbandonReason::WaitExpired && result.foreignAnswered)
        return BoardEnd::Stopped(BoardEnd::Stop::ForeignAnswersOnly);
    if (result.abandoned == AbandonReason::WaitExpired && result.outcome == FlashOutcome::Abandoned)
        return BoardEnd::Stopped(BoardEnd::Stop::NoTarget);
    return BoardEnd::Ended(result.outcome);
}
