// fernbow-cli: the programming run of the dialog's "&Write Flash", from a
// terminal or a script. The engine does the work; this file only turns the
// command line into a run and the run into an exit status.
#include "GangCommand.h"
#include "BoardLines.h"
#include "BoardRun.h"
#include "BoardSession.h"
#include "AtomicFile.h"
#include "ChipContent.h"
#include "CliArgs.h"
#include "ComPortMap.h"
#include "Console.h"
#include "ExitStatus.h"
#include "FernbowVersion.h"
#include "HeldLink.h"
#include "PortList.h"
#include "RegistryStore.h"
#include "PortLinkFactory.h"
#include "SessionMessages.h"
#include "TraceLink.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Set by the first Ctrl-C (or SIGTERM, SIGHUP); the run stops at its next
// pump. Worker threads of a bench run read it too.
std::atomic<bool> g_interrupted{false};

int ListPorts()
{
    std::fputs(FormatPortTable(SurveyPorts()).c_str(), stdout);
    std::printf("%s\n", PortMappingNote().c_str());
    return ExitStatus::kProgrammed;
}

// Empty when the line settings name a port, else why not.
std::string FillLineSettings(const CliArgs& args, CLineSettings& line, std::string& portName)
{
    if (args.hasPort && !args.port.device.empty()) {
        line.m_strDevice = args.port.device;
        portName = args.port.device;
        return std::string();
    }
    line.m_nComPort = args.hasPort ? args.port.comPort : CRegistryStore().ReadRegInt(kComNrSetting);
    portName = ComPortName(line.m_nComPort);
    // A number given with --port is tried as it stands (Windows has COM ports
    // up to COM255); only a remembered one outside the list is refused.
    if (!args.hasPort && (line.m_nComPort < kFirstComPort || line.m_nComPort > kLastComPort))
        return "remembered port number " + std::to_string(line.m_nComPort) + " is not COM" +
               std::to_string(kFirstComPort) + " to COM" + std::to_string(kLastComPort) +
               "; choose a port with --port";
    return std::string();
}

BoardEnd ReportOpenFailure(const std::string& portName, const IPortLink& serial)
{
    const PortResult& error = serial.LastError();
    if (serial.DevicePath().empty()) {
        std::fprintf(stderr, "Can't open comport: %s\n", NoDeviceHint(portName).c_str());
    } else {
        std::string where = portName == serial.DevicePath() ? portName
                                                            : portName + " (" + serial.DevicePath() + ")";
        std::fprintf(stderr, "Can't open comport %s: %s\n", where.c_str(),
                     DescribeOpenError(error, serial.DevicePath()).c_str());
    }
    if (serial.DevicePath().empty() || error.status == PortStatus::Missing)
        std::fprintf(stderr, "Ports on this machine: %s\n", FormatPresentPorts(SurveyPorts()).c_str());
    return BoardEnd::Stopped(BoardEnd::Stop::PortNotOpened);
}

// Below "Timeout!" or "Transmission problem": where it happened, and that
// nothing is lost by trying again.
void ReportBlockFailure(const BoardResult& result)
{
    if (result.failedBlock < 0)
        return;
    const uint32_t address = static_cast<uint32_t>(result.failedBlock) * (kBlockSize / 2);
    std::fprintf(stderr, "Block %d (address 0x%04X) %s\n", static_cast<int>(result.failedBlock),
                 static_cast<unsigned>(address),
                 result.outcome == FlashOutcome::Timeout ? "drew no usable answer within 3 s"
                                                         : "was refused ten times");
    std::fprintf(stderr, "The bootloader is still listening, so running again is safe\n");
}

// Where --verify found the chip unlike the file, in the file's terms.
void ReportDifference(const CliArgs& args, const BoardResult& result)
{
    const uint32_t at = static_cast<uint32_t>(result.firstDifference);
    const uint32_t moved = result.chipInfo ? result.chipInfo->BootBoundary() / 2 : 0;
    char text[96];
    if (at >= LoaderWire::kEepromWordAddress)
        std::snprintf(text, sizeof text, "data EEPROM address 0x%02X",
                      static_cast<unsigned>(at - LoaderWire::kEepromWordAddress));
    else if (result.chipInfo && at >= moved && at < moved + 4)
        std::snprintf(text, sizeof text, "address 0x%04X (the program's word %u, moved there)", static_cast<unsigned>(at),
                      static_cast<unsigned>(at - moved));
    else
        std::snprintf(text, sizeof text, "address 0x%04X", static_cast<unsigned>(at));
    std::fprintf(stderr, "The chip differs from %s first at %s\n", args.hexFile.c_str(), text);
}

void ReportOutcome(const CliArgs& args, const std::string& portName, const BoardResult& result)
{
    if (result.lineLost) {
        std::fprintf(stderr, "%s has gone away: the run has ended\n", portName.c_str());
        return;
    }
    switch (result.outcome) {
    case FlashOutcome::Abandoned:
        if (result.abandoned != AbandonReason::WaitExpired)
            return;
        if (result.foreignAnswered) {
            std::printf("Unexpected responce form target\n");
            std::fprintf(stderr,
                         "Only bytes that were no bootloader's answer came on %s within %g s: reset the board "
                         "(or use --reset where it is wired for it)\n",
                         portName.c_str(), args.waitSeconds);
        } else {
            std::fprintf(stderr,
                         "No target answered on %s within %g s: check the port and the cable, "
                         "and that the board is powered and its bootloader is running\n",
                         portName.c_str(), args.waitSeconds);
        }
        return;
    case FlashOutcome::Timeout:
    case FlashOutcome::TransmissionProblem:
        ReportBlockFailure(result);
        return;
    case FlashOutcome::Programmed:
        std::printf("%d rows written, %d skipped (the chip held them already)\n", static_cast<int>(result.rowsWritten),
                    static_cast<int>(result.rowsSkipped));
        return;
    case FlashOutcome::VerifyMismatch:
        ReportDifference(args, result);
        return;
    case FlashOutcome::CannotRead:
        std::fprintf(stderr, "%s cannot read the chip back: that takes Fernbow's bootloader 1.2 or later "
                             "(firmware/ in the package)\n",
                     result.loader.extended ? DescribeLoader(result.loader).c_str() : "This bootloader");
        return;
    default:
        return;
    }
}

// --read's file; a file that cannot be written ends as a file that cannot be read.
BoardEnd SaveChipContent(const std::string& path, const BoardResult& result)
{
    std::string error;
    if (!WriteFileAtomically(path, ChipContentHex(result.chipRead), error)) {
        std::fprintf(stderr, "fernbow-cli: cannot write %s\n", error.c_str());
        return BoardEnd::Stopped(BoardEnd::Stop::FileNotLoaded);
    }
    std::printf("Chip read into %s\n", path.c_str());
    return result.end;
}

// One programming run on link, which may trace serial and hold it open;
// how it ended. The run itself is the gang's, for a gang of one port.
BoardEnd ProgramOnce(const CliArgs& args, const std::string& portName, IPortLink& serial, ISerialLink& link)
{
    BoardLines lines(StdoutIsConsole());
    BoardHost::Options options;
    options.pacer.interrupted = &g_interrupted;
    options.pacer.waitMs = args.waitSeconds < 0 ? -1 : static_cast<int64_t>(args.waitSeconds * 1000.0);
    options.force = args.force;
    options.job = args.verify ? BoardHost::Options::Job::Verify
                  : args.readFile.empty() ? BoardHost::Options::Job::Write
                                          : BoardHost::Options::Job::Read;
    options.run.fullWrite = args.fullWrite;
    options.run.maxBaud = args.maxBaud > 0 ? args.maxBaud : CRegistryStore().ReadRegInt(kMaxBaudSetting);
    if (args.reset)
        options.pulseReset = [&] { return serial.PulseModemLine(args.resetLine, BoardSession::kPulseMs).Ok(); };
    const OneBoardRun run = RunOneBoard(serial, link, args.hexFile, options, lines);
    lines.EndLine();
    // Ctrl-C wins over whatever the run made of it, in every phase.
    if (g_interrupted.load()) {
        std::fprintf(stderr, "Interrupted\n");
        return BoardEnd::Stopped(BoardEnd::Stop::Interrupted);
    }
    switch (run.stop) {
    case OneBoardRun::Stop::PortNotOpened:
        return ReportOpenFailure(portName, serial);
    case OneBoardRun::Stop::FileNotLoaded:
        std::fprintf(stderr, "%s\n", run.fileError.c_str());
        return BoardEnd::Stopped(BoardEnd::Stop::FileNotLoaded);
    case OneBoardRun::Stop::Ran:
        break;
    }
    ReportOutcome(args, portName, run.board);
    if (run.board.targetAnswered && run.board.bytesSent > 0)
        std::printf("%s\n", SentSummary(run.board.bytesSent, run.board.elapsedMs).c_str());
    if (run.board.end.Succeeded())
        std::printf("%.2f s from the chip's answer, the line at %d baud\n", run.board.seconds, run.board.baud);
    std::fflush(stdout);
    if (run.board.outcome == FlashOutcome::ReadBack)
        return SaveChipContent(args.readFile, run.board);
    return run.board.end;
}

BoardSession::Options SessionOptions(const CliArgs& args)
{
    BoardSession::Options options;
    options.monitorBaud = args.monitorBaud;
    options.watch = args.watch;
    options.hexFile = args.hexFile;
    options.settleMs = args.settleMs;
    options.reset = args.reset;
    options.resetLine = args.resetLine;
    return options;
}

int RunProgramming(const CliArgs& args)
{
    CLineSettings line;
    std::string portName;
    const std::string noPort = FillLineSettings(args, line, portName);
    if (!noPort.empty()) {
        std::fprintf(stderr, "Can't open comport: %s\n", noPort.c_str());
        return ExitStatus::kPort;
    }

    const std::unique_ptr<IPortLink> port = MakePortLink(line);
    IPortLink& serial = *port;
    std::unique_ptr<TraceLink> trace;
    ISerialLink* link = &serial;
    if (args.trace) {
        trace = std::make_unique<TraceLink>(serial, stderr);
        link = trace.get();
    }

    // The monitor keeps the port open from the run into what follows it.
    HeldLink held(*link);
    const auto program = [&] { return ProgramOnce(args, portName, serial, held); };
    if (args.monitorBaud == 0 && !args.reset && !args.watch)
        return ExitStatusOf(program());
    SessionMessages messages(portName);
    return ExitStatusOf(BoardSession(SessionOptions(args), serial, held, messages, &g_interrupted).Run(program));
}

} // namespace

int main(int argc, char** argv)
{
    PrepareConsole();
    InstallInterruptHandler(&g_interrupted);
    const CliArgs args = ParseCliArgs(CommandLineArguments(argc, argv));
    if (!args.error.empty()) {
        std::fprintf(stderr, "fernbow-cli: %s\nTry 'fernbow-cli --help'.\n", args.error.c_str());
        return ExitStatus::kUsage;
    }
    switch (args.mode) {
    case CliArgs::Mode::Help:
        std::fputs(CliUsage().c_str(), stdout);
        return ExitStatus::kProgrammed;
    case CliArgs::Mode::Version:
        std::printf("fernbow-cli %s\n", FERNBOW_VERSION);
        return ExitStatus::kProgrammed;
    case CliArgs::Mode::List:
        return ListPorts();
    case CliArgs::Mode::Run:
        break;
    }
    const int status = args.Bench() ? RunGangCommand(args, &g_interrupted) : RunProgramming(args);
    // The session that asked for the run is gone: say so, as a shell would,
    // even when the boards in hand were finished.
    return HangUpReceived() ? ExitStatus::kHungUp : status;
}
