#include "GangCommand.h"

#include "BoardConsole.h"
#include "BoardHost.h"
#include "BoardLines.h"
#include "ComPortMap.h"
#include "Console.h"
#include "ExitStatus.h"
#include "GangRun.h"
#include "HexOnce.h"
#include "PortLinkFactory.h"
#include "RegistryStore.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace {

std::string PortName(const PortArgument& port)
{
    return port.device.empty() ? ComPortName(port.comPort) : port.device;
}

GangPort MakeGangPort(const PortArgument& port)
{
    GangPort gang;
    gang.name = PortName(port);
    // The settings live as long as the link that reads them.
    auto settings = std::make_shared<CLineSettings>();
    if (port.device.empty())
        settings->m_nComPort = port.comPort;
    else
        settings->m_strDevice = port.device;
    gang.makeLink = [settings] { return MakePortLink(*settings); };
    gang.openError = [](const IPortLink& serial) {
        return serial.DevicePath().empty() ? std::string("it has no device (see fernbow-cli --list)")
                                           : DescribeOpenError(serial.LastError(), serial.DevicePath());
    };
    return gang;
}

} // namespace

int RunGangCommand(const CliArgs& args, const std::atomic<bool>* interrupted)
{
    std::vector<PortArgument> ports = args.ports;
    if (ports.empty()) {
        PortArgument remembered;
        remembered.ok = true;
        remembered.comPort = CRegistryStore().ReadRegInt(kComNrSetting);
        ports.push_back(remembered);
    }

    // The file is read and checked once, before any port is touched.
    // What the file holds is said once, before any port: not by port.
    BoardLines loadLines(false);
    BoardHost::Options loadOptions;
    loadOptions.pacer.interrupted = interrupted;  // a long load ends on Ctrl-C too
    loadOptions.force = args.force;
    BoardHost loadHost(loadOptions, loadLines, 0, nullptr);
    LoadedHex image;
    std::string sha256, error;
    if (!LoadHexOnce(args.hexFile, loadHost, image, sha256, error)) {
        const bool stopped = loadHost.Abandoned() == AbandonReason::Interrupted;
        std::fprintf(stderr, "%s\n", stopped ? "Interrupted" : error.c_str());
        return stopped ? ExitStatus::kInterrupted : ExitStatus::kFile;
    }
    RunLog log;
    if (!args.logFile.empty() && !log.Open(args.logFile, args.hexFile, sha256, error, interrupted)) {
        std::fprintf(stderr, "fernbow-cli: cannot write the log %s: %s\n", args.logFile.c_str(), error.c_str());
        return interrupted && *interrupted ? ExitStatus::kInterrupted : ExitStatus::kUsage;
    }

    std::vector<std::string> names;
    std::vector<GangPort> gangPorts;
    for (const PortArgument& port : ports) {
        names.push_back(PortName(port));
        gangPorts.push_back(MakeGangPort(port));
    }
    BoardConsole console(names,
                          StdoutTakesEscapeCodes() ? BoardConsole::Style::Panel : BoardConsole::Style::Lines);

    GangShared shared;
    shared.image = &image;
    shared.repeat = args.repeat;
    shared.count = args.count;
    shared.waitSeconds = args.waitSeconds;
    shared.trace = args.trace;
    shared.interrupted = interrupted;
    shared.view = &console;
    shared.log = args.logFile.empty() ? nullptr : &log;
    shared.force = args.force;
    shared.run.fullWrite = args.fullWrite;
    shared.run.maxBaud = args.maxBaud > 0 ? args.maxBaud : CRegistryStore().ReadRegInt(kMaxBaudSetting);
    if (image.report.HasFaults())  // written with --force
        shared.note = BadRecordsWarning(image.report);

    std::string notStarted;
    const BoardEnd end = RunGang(std::move(gangPorts), shared, notStarted);
    if (!notStarted.empty())
        std::fprintf(stderr, "fernbow-cli: cannot start a thread for every port (%s); no port was touched\n",
                     notStarted.c_str());
    return ExitStatusOf(end);
}
