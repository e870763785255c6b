#include "BenchRun.h"

#include "BoardLoop.h"
#include "Console.h"
#include "CliHost.h"
#include "ExitStatus.h"
#include "HexOnce.h"
#include "RegistryStore.h"

#include <cstdio>
#include <exception>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace {

std::string PortName(const PortArgument& port)
{
    return port.device.empty() ? "COM" + std::to_string(port.comPort) : port.device;
}

std::string TallyText(const PortTally& tally)
{
    char text[128];
    std::snprintf(text, sizeof text, "%d programmed, %d failed", tally.programmed, tally.failed);
    std::string line = text;
    if (tally.programmed > 0) {
        std::snprintf(text, sizeof text, ", %.1f s per board", tally.programmedSeconds / tally.programmed);
        line += text;
    }
    if (tally.exitStatus != 0)
        line += " (exit status " + std::to_string(tally.exitStatus) + ")";
    return line;
}

// Runs every loop on a thread of its own. The threads wait until all of
// them exist, so a thread that cannot be started leaves no port half-done:
// then none runs, and the reason is returned (empty when all ran).
std::string RunLoops(std::vector<std::unique_ptr<CBoardLoop>>& loops)
{
    std::promise<bool> go;
    std::shared_future<bool> allStarted = go.get_future().share();
    std::vector<std::thread> threads;
    std::string error;
    try {
        threads.reserve(loops.size());
        for (auto& loop : loops)
            threads.emplace_back([&loop, allStarted] {
                if (allStarted.get())
                    loop->Run();
            });
        go.set_value(true);
    } catch (const std::exception& e) {
        error = e.what();
        go.set_value(false);
    }
    for (std::thread& thread : threads)
        thread.join();
    return error;
}

} // namespace

int RunBench(const CliArgs& args, const std::atomic<bool>* interrupted)
{
    std::vector<PortArgument> ports = args.ports;
    if (ports.empty()) {
        PortArgument remembered;
        remembered.ok = true;
        remembered.comPort = CRegistryStore().ReadRegInt("ComNr");
        ports.push_back(remembered);
    }

    // The file is read and checked once, before any port is touched.
    CCliHost::Options loadOptions;
    loadOptions.interrupted = interrupted;  // a long load ends on Ctrl-C too
    loadOptions.force = args.force;
    CCliHost loadHost(loadOptions);
    LoadedHex image;
    std::string sha256, error;
    if (!LoadHexOnce(args.hexFile, loadHost, image, sha256, error)) {
        const bool stopped = loadHost.Abandoned() == AbandonReason::Interrupted;
        std::fprintf(stderr, "%s\n", stopped ? "Interrupted" : error.c_str());
        return stopped ? ExitStatus::kInterrupted : ExitStatus::kFile;
    }
    CRunLog log;
    if (!args.logFile.empty() && !log.Open(args.logFile, args.hexFile, sha256, error)) {
        std::fprintf(stderr, "fernbow-cli: cannot write the log %s: %s\n", args.logFile.c_str(), error.c_str());
        return ExitStatus::kUsage;
    }

    std::vector<std::string> names;
    for (const PortArgument& port : ports)
        names.push_back(PortName(port));
    CBoardConsole console(names,
                          StdoutTakesEscapeCodes() ? CBoardConsole::Style::Panel : CBoardConsole::Style::Lines);

    BenchShared shared;
    shared.image = &image;
    shared.repeat = args.repeat;
    shared.count = args.count;
    shared.waitSeconds = args.waitSeconds;
    shared.trace = args.trace;
    shared.interrupted = interrupted;
    shared.console = &console;
    shared.log = args.logFile.empty() ? nullptr : &log;
    if (image.report.HasFaults())  // written with --force
        shared.note = BadRecordsWarning(image.report);

    std::vector<std::unique_ptr<CBoardLoop>> loops;
    for (size_t slot = 0; slot < ports.size(); ++slot)
        loops.push_back(std::make_unique<CBoardLoop>(ports[slot], slot, shared));
    const std::string notStarted = RunLoops(loops);
    if (!notStarted.empty()) {
        std::fprintf(stderr, "fernbow-cli: cannot start a thread for every port (%s); no port was touched\n",
                     notStarted.c_str());
        return ExitStatus::kInternal;
    }

    int status = ExitStatus::kProgrammed;
    PortTally total;
    for (size_t slot = 0; slot < loops.size(); ++slot) {
        const PortTally& tally = loops[slot]->Tally();
        console.Note("Summary " + names[slot] + ": " + TallyText(tally));
        total.programmed += tally.programmed;
        total.failed += tally.failed;
        total.programmedSeconds += tally.programmedSeconds;
        if (status == ExitStatus::kProgrammed)
            status = tally.exitStatus;
    }
    if (loops.size() > 1) {
        total.exitStatus = status;
        console.Note("Summary, all ports: " + TallyText(total));
    }
    return status;
}
