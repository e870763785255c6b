// fernbow-perf: programs a full-size image of each chip through fernbow-sim
// at line rate and compares the wall time with what the line allows; then
// eight boards at once against one; then the figures of Fernbow's own
// firmware on the chip model (ChipModelPerf).
// Run by hand (cmake --build DIR --target perf); it is not a test.
#include "ChipModelPerf.h"
#include "ChipTable.h"
#include "IntelHexWriter.h"
#include "ProcessSpawn.h"
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kByteSeconds = 10.0 / 19200.0;
constexpr double kFlashSeconds = 0.018;  // fernbow-sim's default flash write time
constexpr int kGangBoards = 8;

// Every block below the bootloader's area holds data; the last one ends at
// the boot boundary.
std::string FullImageHex(const ChipInfo& chip)
{
    std::string hex;
    for (uint32_t address = 0; address < chip.BootBoundary(); address += 8) {
        std::vector<uint8_t> data(8);
        for (uint32_t i = 0; i < 8; ++i)
            // Word 0 is goto 0x000, so the reset code is one the chip can start.
            data[i] = address == 0 && i == 1 ? 0x28 : static_cast<uint8_t>(i % 2 ? (address / 8) & 0x3F : address + i);
        hex += IntelHexRecord(address, data);
    }
    return hex + IntelHexEndRecord();
}

pid_t Spawn(const std::vector<std::string>& argv, int stdoutFd, int stderrFd)
{
    SpawnOptions options;
    options.stdoutFd = stdoutFd;
    options.stderrFd = stderrFd;
    return SpawnProcess(argv, options);
}

double CpuSeconds(const rusage& r)
{
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

std::string ReadLine(int fd, int timeoutMs)
{
    std::string line;
    char c;
    while (line.size() < 512) {
        pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0 || ::read(fd, &c, 1) != 1 || c == '\n') break;
        line += c;
    }
    return line;
}

// How fernbow-cli is started: the Linux program, or fernbow-cli.exe under
// Wine (wine-run.sh PREFIX program.exe) with each board as a Wine COM port.
struct CliCommand {
    std::string label;
    std::vector<std::string> start;
    std::string winePrefix;  // empty: a board's device is given as it is
};

// The port argument for a board's device: under Wine COM170 and up, clear
// of the numbers Wine gives the machine's own ttyS ports.
std::string PortFor(const CliCommand& cli, const std::string& device, size_t index)
{
    if (cli.winePrefix.empty()) return device;
    const std::string name = "com" + std::to_string(170 + index);
    const std::string link = cli.winePrefix + "/dosdevices/" + name;
    ::unlink(link.c_str());
    return ::symlink(device.c_str(), link.c_str()) == 0 ? "COM" + std::to_string(170 + index) : device;
}

struct BoardSim {
    pid_t pid = -1;
    int out = -1;
    std::string device;
};

// Programs `boards` simulated boards with one fernbow-cli (one --port each)
// and prints the wall time against the line limit and the CPU it took.
// Returns the wall time, or a negative number when something failed.
double TimeRun(const ChipInfo& chip, const std::string& folder, int boards, const CliCommand& command)
{
    const std::string hexPath = folder + "/full-" + chip.name + ".hex";
    if (FILE* f = std::fopen(hexPath.c_str(), "w")) {
        const std::string hex = FullImageHex(chip);
        std::fwrite(hex.data(), 1, hex.size(), f);
        std::fclose(f);
    } else {
        std::fprintf(stderr, "fernbow-perf: %s: %s\n", hexPath.c_str(), std::strerror(errno));
        return -1;
    }

    std::vector<BoardSim> sims(static_cast<size_t>(boards));
    std::vector<std::string> cliArgs = command.start;
    cliArgs.insert(cliArgs.end(), {"--wait", "10"});
    bool started = true;
    for (BoardSim& sim : sims) {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
            started = false;
            break;
        }
        sim.pid = Spawn({FERNBOW_SIM, "--chip", chip.isF819 ? "819" : "88"}, pipeFds[1], -1);
        ::close(pipeFds[1]);
        sim.out = pipeFds[0];
        sim.device = sim.pid > 0 ? ReadLine(sim.out, 10000) : "";
        if (sim.device.empty()) {
            std::fprintf(stderr, "fernbow-perf: fernbow-sim did not start\n");
            started = false;
            break;
        }
        cliArgs.insert(cliArgs.end(), {"--port", PortFor(command, sim.device, static_cast<size_t>(&sim - sims.data()))});
    }
    cliArgs.push_back(hexPath);

    int status = 0;
    rusage cliUsage{};
    bool waited = false;
    double wall = 0;
    if (started) {
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (!command.winePrefix.empty()) {
            // Wine's own start-up (its server, the prefix) is not the
            // program's: one run before the clock starts leaves it warm.
            std::vector<std::string> warm = command.start;
            warm.push_back("--version");
            const pid_t w = Spawn(warm, devNull, devNull);
            if (w > 0) ::waitpid(w, nullptr, 0);
        }
        const auto start = std::chrono::steady_clock::now();
        const pid_t cli = Spawn(cliArgs, devNull, -1);
        waited = cli > 0 && ::wait4(cli, &status, 0, &cliUsage) == cli;
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ::close(devNull);
    }

    double simCpu = 0;
    for (BoardSim& sim : sims) {
        if (sim.pid > 0) {
            ::kill(sim.pid, SIGTERM);
            rusage simUsage{};
            int simStatus = 0;
            ::wait4(sim.pid, &simStatus, 0, &simUsage);
            simCpu += CpuSeconds(simUsage);
        }
        if (sim.out >= 0) ::close(sim.out);
    }
    if (!started) return -1;
    if (!waited || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "fernbow-perf: fernbow-cli failed on %d x %s (status %d)\n", boards, chip.name,
                     WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return -1;
    }

    const uint32_t blocks = chip.VectorBlock() + 1;
    const uint32_t lineBytes = 1 + 2 + blocks * (kBlockFrameSize + 1);  // wake-up, answer, frames, K
    const double limit = lineBytes * kByteSeconds + blocks * kFlashSeconds;
    const double cpu = CpuSeconds(cliUsage);
    std::printf("%-5s %d x %-10s %3u blocks  %6u bytes  wall %.3f s  limit %.3f s  ratio %.4f  "
                "fernbow-cli CPU %.3f s (%.2f%% of a core)  fernbow-sim CPU %.3f s\n",
                command.label.c_str(), boards, chip.name, blocks, lineBytes, wall, limit, wall / limit, cpu, 100.0 * cpu / wall, simCpu);
    return wall;
}

}  // namespace

// fernbow-perf [--wine WINE_RUN PREFIX fernbow-cli.exe]: with --wine the
// Windows fernbow-cli runs under Wine too, after the Linux one.
int main(int argc, char** argv)
{
    const CliCommand native = {"linux", {FERNBOW_CLI}, ""};
    std::vector<CliCommand> others;
    if (argc == 5 && std::string(argv[1]) == "--wine") {
        others.push_back({"wine", {argv[2], argv[3], argv[4]}, argv[3]});
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: fernbow-perf [--wine WINE_RUN PREFIX fernbow-cli.exe]\n");
        return 1;
    }
    char folder[] = "/tmp/fernbow-perf-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("fernbow-perf");
        return 1;
    }
    std::printf("Line: 19200 baud, 10 bits a byte; flash write %.0f ms a block.\n", kFlashSeconds * 1000);
    bool ok = true;
    for (const ChipInfo* chip : {&ChipF819(), &ChipF88()}) ok = TimeRun(*chip, folder, 1, native) >= 0 && ok;
    // A production bench: eight boards at once take about as long as one.
    const double one = TimeRun(ChipF88(), folder, 1, native);
    const double eight = TimeRun(ChipF88(), folder, kGangBoards, native);
    if (one > 0 && eight > 0)
        std::printf("%d boards at once take %.3fx the time of one\n", kGangBoards, eight / one);
    else
        ok = false;
    for (const CliCommand& command : others) {
        for (const ChipInfo* chip : {&ChipF819(), &ChipF88()}) ok = TimeRun(*chip, folder, 1, command) >= 0 && ok;
        ::unlink((command.winePrefix + "/dosdevices/com" + std::to_string(170)).c_str());
    }
    ok = ChipModelFigures(folder) && ok;
    for (const char* name : {"/full-PIC16F819.hex", "/full-PIC16F88.hex"}) std::remove((std::string(folder) + name).c_str());
    ::rmdir(folder);
    return ok ? 0 : 1;
}
