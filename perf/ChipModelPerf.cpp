#include "ChipModelPerf.h"

#include "ChipTable.h"
#include "IntelHexWriter.h"
#include "ProcessSpawn.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kFlashBusySeconds = 0.018;  // erase and eight group writes of 2 ms
constexpr int kHandshakeBytes = 1 + 2 + 68 + 5 + 68 + 1;  // at 19200: wake-up, ask, rate

struct Run {
    bool ok = false;
    double seconds = 0;  // from the chip's answer
    int baud = 0;
    std::string out;
};

std::string ReadAll(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
}

Run RunCli(const std::vector<std::string>& args)
{
    Run run;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return run;
    SpawnOptions options;
    options.stdoutFd = fds[1];
    std::vector<std::string> argv = {FERNBOW_CLI, "--wait", "20"};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = SpawnProcess(argv, options);
    ::close(fds[1]);
    run.out = pid > 0 ? ReadAll(fds[0]) : "";
    ::close(fds[0]);
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return run;
    const size_t at = run.out.find(" s from the chip's answer, the line at ");
    if (at == std::string::npos) return run;
    const size_t start = run.out.rfind('\n', at);
    run.seconds = std::atof(run.out.c_str() + (start == std::string::npos ? 0 : start + 1));
    run.baud = std::atoi(run.out.c_str() + at + 39);
    run.ok = true;
    return run;
}

// Every row below start filled; the one-row change alters row 40.
std::string ImageHex(uint32_t startWord, bool changed)
{
    std::string hex;
    for (uint32_t address = 0; address < 2 * startWord; address += 8) {
        std::vector<uint8_t> data(8);
        for (uint32_t i = 0; i < 8; ++i)
            data[i] = address == 0 && i == 1 ? 0x28 : static_cast<uint8_t>(i % 2 ? (address / 8) & 0x3F : address + i);
        if (changed && address / 64 == 40) data[0] ^= 0x55;
        hex += IntelHexRecord(address, data);
    }
    return hex + IntelHexEndRecord();
}

bool WriteText(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

void Row(const char* chip, const char* what, const Run& run, const char* goal, const std::string& extra = "")
{
    std::printf("%-10s %-34s %6.3f s at %6d baud   goal %-8s %s\n", chip, what, run.seconds, run.baud, goal, extra.c_str());
}

bool Figures(const ChipInfo& chip, const std::string& folder)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    SpawnOptions options;
    options.stdoutFd = fds[1];
    options.stderrFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t sim = SpawnProcess({FERNBOW_SIM, "--chip-model", "--chip", chip.isF819 ? "819" : "88"}, options);
    ::close(fds[1]);
    ::close(options.stderrFd);
    std::string device;
    char c;
    pollfd p = {fds[0], POLLIN, 0};
    while (sim > 0 && ::poll(&p, 1, 20000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') device += c;
    const auto stop = [&] {
        if (sim > 0) {
            ::kill(sim, SIGTERM);
            ::waitpid(sim, nullptr, 0);
        }
        ::close(fds[0]);
    };
    if (device.empty() || device[0] != '/') {
        std::printf("%-10s the chip model did not start here (gpsim or the firmware missing): no figures\n", chip.name);
        stop();
        return true;
    }
    const std::string readPath = folder + "/read.hex", full = folder + "/full.hex", changed = folder + "/changed.hex";
    const Run read = RunCli({"--port", device, "--read", readPath});
    const size_t area = read.out.find("its area from 0x");
    const uint32_t start = area == std::string::npos ? 0 : static_cast<uint32_t>(std::strtoul(read.out.c_str() + area + 16, nullptr, 16));
    bool ok = read.ok && start > 0 && WriteText(full, ImageHex(start, false)) && WriteText(changed, ImageHex(start, true));
    // One run after another, as a developer works: no reset between them.
    Run write, again, verify;
    if (ok) write = RunCli({"--port", device, full});
    if (write.ok) again = RunCli({"--port", device, changed});
    if (again.ok) verify = RunCli({"--port", device, "--verify", changed});
    stop();
    ok = ok && write.ok && again.ok && verify.ok;
    if (!ok) {
        std::printf("%-10s a chip-model run failed:\n%s\n", chip.name, (read.out + write.out + again.out + verify.out).c_str());
        return false;
    }
    const uint32_t rows = start / 32 + 1;  // and the row of the moved vector
    const double line = kHandshakeBytes * 10.0 / 19200 + (3 + rows * 69.0) * 10.0 / write.baud;
    const double ideal = line + rows * kFlashBusySeconds;
    char extra[96];
    std::snprintf(extra, sizeof extra, "%u rows; line %.3f s + flash %.3f s = %.3f s; ratio %.3f", rows, line,
                  rows * kFlashBusySeconds, ideal, write.seconds / ideal);
    Row(chip.name, "--read of the chip", read, "1.0 s");
    Row(chip.name, "full image", write, "3.0 s", extra);
    Row(chip.name, "again, one row changed", again, "0.6 s");
    Row(chip.name, "--verify of the full image", verify, "0.8 s");
    return true;
}

}  // namespace

bool ChipModelFigures(const std::string& folder)
{
    std::printf("Fernbow's firmware on the chip model (real time), from the chip's answer:\n");
    bool ok = true;
    for (const ChipInfo* chip : {&ChipF88(), &ChipF819()}) ok = Figures(*chip, folder) && ok;
    for (const char* name : {"/read.hex", "/full.hex", "/changed.hex"}) std::remove((folder + name).c_str());
    return ok;
}
