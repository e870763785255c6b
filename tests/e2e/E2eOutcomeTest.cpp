// fernbow-cli against fernbow-sim through real pseudo-terminals: every way a
// run can end, with the board's flash read back afterwards.
#include "E2eSupport.h"
#include "IntelHexWriter.h"
#include <algorithm>
#include <csignal>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<uint8_t> Bytes(size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + 13 * i);
    return v;
}

// Data in blocks 0, 1 and 10, a config word the loader leaves out, an end record.
std::string SmallProgram()
{
    std::string hex = IntelHexRecord(0, {0, 0}, 4);
    for (uint32_t a = 0; a < 0x60; a += 16) hex += IntelHexRecord(a, Bytes(16, static_cast<uint8_t>(a)));
    hex += IntelHexRecord(10 * 64 + 8, Bytes(16, 0x55));
    hex += IntelHexRecord(0x400E, {0x30, 0x3F});
    return hex + IntelHexEndRecord();
}

// A record that starts below the bootloader's area and runs into it.
std::string IntoBootArea(const ChipInfo& chip)
{
    return IntelHexRecord(0, Bytes(16, 1)) + IntelHexRecord(chip.BootBoundary() - 8, Bytes(16, 2)) + IntelHexEndRecord();
}

// The probe's damaged file: the third line's count byte says 20 bytes where
// the line holds 16.
std::string DamagedProgram()
{
    std::string hex = SmallProgram();
    hex.replace(hex.find(":10001000"), 9, ":14001000");
    return hex;
}

// Hello88: examples/hello16f88, whose CONFIG2 word shows the chip it was built for.
enum class Hex { Program, BootArea, Missing, ConfigOnly, Damaged, CutShort, Hello88 };
enum class Flash { Full, Fresh, BlocksBelow };
// How the CLI reaches the board: its pseudo-terminal, ser2net serving it,
// or a server that closes the connection at the first byte (no board).
enum class Net { None, Raw, Rfc2217, Closes };

struct OutcomeCase {
    const char* name;
    const char* chip;
    std::vector<std::string> simOptions;
    Hex hex;
    int exitStatus;
    const char* text;  // expected in the CLI's output or error output
    Flash flash;
    uint32_t blocksBelow = 0;  // Flash::BlocksBelow: blocks 0 .. n-1 written, the rest untouched
    std::vector<std::string> cliOptions = {};
    Net net = Net::None;
    const char* simLogText = nullptr;  // expected in the board's log
    // The board was programmed by a run before this one and its program
    // runs (answering every byte with itself) until a reset.
    bool programRunning = false;
};

void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }

class E2eOutcome : public testing::TestWithParam<OutcomeCase> {};

TEST_P(E2eOutcome, CliReportsItAndTheFlashShowsIt)
{
    const OutcomeCase& c = GetParam();
    if (c.simLogText && std::getenv("FERNBOW_E2E_WINE_CLI"))
        GTEST_SKIP() << "the simulated board's reset control is the Linux program's";
    const bool hangsUp = std::find(c.simOptions.begin(), c.simOptions.end(), "--hangup-after") != c.simOptions.end();
    if (hangsUp && c.net == Net::None && std::getenv("FERNBOW_E2E_WINE_CLI"))
        GTEST_SKIP() << "Wine's COM port does not report a pseudo-terminal that hangs up";
    const ChipInfo& chip = std::string(c.chip) == "819" ? ChipF819() : ChipF88();
    const std::string hello88 = std::string(FERNBOW_EXAMPLES) + "/hello16f88.hex";
    if (c.hex == Hex::Hello88 && ReadTextFile(hello88).empty()) GTEST_SKIP() << "the examples were not built (gpasm)";
    TempFolder folder;
    const std::string hexText = c.hex == Hex::Hello88      ? ReadTextFile(hello88)
                                : c.hex == Hex::BootArea     ? IntoBootArea(chip)
                                : c.hex == Hex::ConfigOnly ? IntelHexRecord(0x400E, {0x30, 0x3F}) + IntelHexEndRecord()
                                : c.hex == Hex::Damaged    ? DamagedProgram()
                                : c.hex == Hex::CutShort   ? SmallProgram().substr(0, SmallProgram().rfind(':'))
                                                           : SmallProgram();
    const std::string hexPath = folder.File("program.hex");
    if (c.hex != Hex::Missing) WriteTextFile(hexPath, hexText);

    std::vector<std::string> simOptions = {"--instant"};
    simOptions.insert(simOptions.end(), c.simOptions.begin(), c.simOptions.end());
    SimProcess sim(folder, c.chip, simOptions);
    ASSERT_FALSE(sim.Device().empty()) << sim.Log();

    std::unique_ptr<Ser2Net> server;
    std::unique_ptr<ClosingServer> closing;
    std::string port = sim.Device();
    if (c.net == Net::Closes) {
        closing = std::make_unique<ClosingServer>();
        port = closing->Url();
        ASSERT_FALSE(port.empty());
    } else if (c.net != Net::None) {
        server = std::make_unique<Ser2Net>(folder, std::vector<std::string>{sim.Device()},
                                           c.net == Net::Raw ? Ser2Net::Mode::Raw : Ser2Net::Mode::Rfc2217);
        port = server->Url(0);
        ASSERT_FALSE(port.empty()) << server->Log();
    }
    // Against a closing server, --wait is left at its default: until Ctrl-C.
    std::vector<std::string> args = {"--port", port};
    if (c.net != Net::Closes) args.insert(args.end(), {"--wait", "30"});
    args.insert(args.end(), c.cliOptions.begin(), c.cliOptions.end());
    if (std::find(c.cliOptions.begin(), c.cliOptions.end(), "--port") != c.cliOptions.end())
        args.erase(args.begin(), args.begin() + 2);
    args.push_back(hexPath);
    if (c.programRunning) {
        const CliRun before = RunCli({"--port", port, "--wait", "30", hexPath}, folder);
        ASSERT_EQ(before.result.status, 0) << before.err;
        for (int i = 0; i < 1500 && sim.Log().find("session 1 ended") == std::string::npos; ++i) usleep(20000);
    }
    const CliRun run = RunCli(args, folder);

    ChildResult simEnd;
    const std::vector<uint16_t> flash = sim.Stop(&simEnd);
    const std::string context = "cli out:\n" + run.out + "cli err:\n" + run.err + "sim log:\n" + sim.Log() +
                                (server ? "ser2net:\n" + server->Log() : "");

    ASSERT_TRUE(run.result.finished) << context;
    EXPECT_EQ(run.result.status, c.exitStatus) << context;
    EXPECT_NE((run.out + run.err).find(c.text), std::string::npos) << "expected \"" << c.text << "\"\n" << context;
    if (c.simLogText) {
        EXPECT_NE(sim.Log().find(c.simLogText), std::string::npos) << "expected \"" << c.simLogText << "\"\n" << context;
    }
    ASSERT_TRUE(simEnd.finished) << context;
    EXPECT_EQ(simEnd.status, 0) << context;

    std::vector<uint16_t> expected = FreshFlash(chip);
    if (c.flash != Flash::Fresh) {
        const std::vector<uint16_t> full = ExpectedFlash(LoadImage(hexText), chip);
        const uint32_t words = c.flash == Flash::Full ? static_cast<uint32_t>(full.size()) : c.blocksBelow * 32;
        for (uint32_t w = 0; w < words; ++w) expected[w] = full[w];
    }
    EXPECT_EQ(FirstDifference(flash, expected), "") << context;
}

const char kSuccess[] = "Pic successfully programmed! ";

INSTANTIATE_TEST_SUITE_P(
    E2e, E2eOutcome,
    testing::Values(
        OutcomeCase{"Programmed819", "819", {}, Hex::Program, 0, kSuccess, Flash::Full},
        OutcomeCase{"Programmed88", "88", {}, Hex::Program, 0, kSuccess, Flash::Full},
        OutcomeCase{"ConfigurationWordNoted", "88", {}, Hex::Program, 0,
                    "configuration words and ID locations in the file are not written", Flash::Full},
        OutcomeCase{"NoProgramData", "819", {}, Hex::ConfigOnly, 3, "No program data in file", Flash::Fresh},
        OutcomeCase{"BootArea819", "819", {}, Hex::BootArea, 4,
                    "hex file address overlaps boot area. Programming aborted.", Flash::Fresh},
        OutcomeCase{"BootArea88", "88", {}, Hex::BootArea, 4,
                    "hex file address overlaps boot area. Programming aborted.", Flash::Fresh},
        // Bytes that are no answer do not end the search; only they within --wait give status 5.
        OutcomeCase{"UnexpectedAnswer", "88", {"--answer", "X"}, Hex::Program, 5, "Unexpected responce form target",
                    Flash::Fresh, 0, {"--wait", "1"}},
        OutcomeCase{"RunningProgramNamedOnce", "88", {"--echo", "--idle-ms", "200"}, Hex::Program, 5,
                    "The board answers with other bytes: its program is probably running", Flash::Full, 0,
                    {"--wait", "1"}, Net::None, nullptr, true},
        OutcomeCase{"RunningProgramReset", "819", {"--echo", "--idle-ms", "200", "--com", "5", "--reset-control"},
                    Hex::Program, 0, kSuccess, Flash::Full, 0, {"--port", "COM5", "--reset", "dtr"}, Net::None,
                    "reset pulse on DTR", true},
        OutcomeCase{"SilentBlockTimesOut", "88", {"--silent", "1"}, Hex::Program, 6, "Timeout!", Flash::BlocksBelow, 1},
        OutcomeCase{"GarbageAnswerTimesOut", "819", {"--garbage", "1"}, Hex::Program, 6, "Timeout!",
                    Flash::BlocksBelow, 2},
        OutcomeCase{"TenRefusals", "88", {"--nack", "1:10"}, Hex::Program, 7, "Transmission problem",
                    Flash::BlocksBelow, 1},
        OutcomeCase{"RefusalsThenSilence", "819", {"--nack", "1:9", "--silent", "1"}, Hex::Program, 7,
                    "Transmission problem", Flash::BlocksBelow, 1},
        OutcomeCase{"RefusalSilenceThenAccepted", "88", {"--nack", "10:1", "--silent", "10:2"}, Hex::Program, 0,
                    kSuccess, Flash::Full},
        OutcomeCase{"LateTarget", "88", {"--ignore-wakeups", "3"}, Hex::Program, 0, kSuccess, Flash::Full},
        OutcomeCase{"HalfAnswer", "819", {"--half-answer"}, Hex::Program, 0, "PIC16F819 found", Flash::Full},
        OutcomeCase{"NoTargetWithinWait", "88", {"--ignore-wakeups", "100000"}, Hex::Program, 8, "No target answered",
                    Flash::Fresh, 0, {"--wait", "1"}},
        // A board that hangs up is a port gone away, seen at once.
        OutcomeCase{"BoardHangsUp", "88", {"--hangup-after", "1"}, Hex::Program, 2, "has gone away: the run has ended",
                    Flash::BlocksBelow, 1},
        OutcomeCase{"MissingFile", "88", {}, Hex::Missing, 3, "Can't open file", Flash::Fresh},
        // Nobody reads a warning on a bench: a damaged file is refused before
        // the port is written to, unless --force.
        OutcomeCase{"DamagedFileRefused", "88", {}, Hex::Damaged, 3,
                    "1 bad record (a wrong checksum, missing or non-hex digits, an unknown type, or a second value for an "
                    "address), the first on line 3; nothing was written",
                    Flash::Fresh},
        // A program built for the PIC16F88 into a PIC16F819: refused once the
        // chip has answered, before any frame, unless --force.
        OutcomeCase{"OtherChipsFileRefused", "819", {}, Hex::Hello88, 3,
                    "refused the file: the file was built for the PIC16F88 (it sets CONFIG2", Flash::Fresh},
        OutcomeCase{"OtherChipsFileForced", "819", {}, Hex::Hello88, 0, "warning: the file was built for the PIC16F88",
                    Flash::Full, 0, {"--force"}},
        OutcomeCase{"CutShortFileRefused", "819", {}, Hex::CutShort, 3, "no end record", Flash::Fresh},
        OutcomeCase{"DamagedFileForced", "88", {}, Hex::Damaged, 0, "warning: 1 bad record", Flash::Full, 0,
                    {"--force"}},
        OutcomeCase{"MissingPort", "88", {}, Hex::Program, 2, "Can't open comport", Flash::Fresh, 0,
                    {"--port", "/dev/fernbow-no-such-tty"}},
        OutcomeCase{"PortByComNumber", "88", {"--com", "5"}, Hex::Program, 0, kSuccess, Flash::Full, 0,
                    {"--port", "COM5"}},
        // The same board served by ser2net on a loopback port.
        OutcomeCase{"NetRawProgrammed", "88", {}, Hex::Program, 0, kSuccess, Flash::Full, 0, {}, Net::Raw},
        OutcomeCase{"NetRfc2217Programmed", "819", {}, Hex::Program, 0, kSuccess, Flash::Full, 0, {}, Net::Rfc2217},
        OutcomeCase{"NetRawTimeout", "88", {"--silent", "1"}, Hex::Program, 6, "Timeout!", Flash::BlocksBelow, 1, {},
                    Net::Raw},
        OutcomeCase{"NetRfc2217Timeout", "88", {"--silent", "1"}, Hex::Program, 6, "Timeout!", Flash::BlocksBelow, 1,
                    {}, Net::Rfc2217},
        OutcomeCase{"NetRawHangUp", "88", {"--hangup-after", "1"}, Hex::Program, 2,
                    "has gone away: the run has ended", Flash::BlocksBelow, 1, {}, Net::Raw},
        OutcomeCase{"NetRfc2217HangUp", "819", {"--hangup-after", "1"}, Hex::Program, 2,
                    "has gone away: the run has ended", Flash::BlocksBelow, 1, {}, Net::Rfc2217},
        // A pulse on a modem line before the search: the board takes it
        // through its control file; a bare pseudo-terminal cannot, and says so.
        OutcomeCase{"ResetPulseReachesTheBoard", "88", {"--com", "5", "--reset-control"}, Hex::Program, 0, kSuccess,
                    Flash::Full, 0, {"--port", "COM5", "--reset", "dtr"}, Net::None, "reset pulse on DTR"},
        OutcomeCase{"ResetPulseImpossibleIsNoted", "819", {}, Hex::Program, 0, "the reset pulse could not be sent",
                    Flash::Full, 0, {"--reset", "rts"}},
        // A raw network port runs at its server's rate: another one for the
        // monitor is refused before anything is sent.
        OutcomeCase{"NetRawMonitorRateRefused", "88", {}, Hex::Program, 1, "does not take 9600 baud", Flash::Fresh, 0,
                    {"--monitor=9600"}, Net::Raw},
        OutcomeCase{"NetPortRefused", "88", {}, Hex::Program, 2, "connection refused", Flash::Fresh, 0,
                    {"--port", "rfc2217://127.0.0.1:1"}},
        // A server that closes the connection ends the search (and the default
        // endless --wait) with the port's status.
        OutcomeCase{"NetServerClosesWhileSearching", "88", {}, Hex::Program, 2, "has gone away: the run has ended",
                    Flash::Fresh, 0, {}, Net::Closes},
        // Below a failed block: where, and that running again is safe.
        OutcomeCase{"TimeoutNamesTheBlock", "88", {"--silent", "1"}, Hex::Program, 6,
                    "Block 1 (address 0x0020) drew no usable answer within 3 s", Flash::BlocksBelow, 1},
        OutcomeCase{"RefusalsNameTheBlock", "88", {"--nack", "1:10"}, Hex::Program, 7,
                    "The bootloader is still listening, so running again is safe", Flash::BlocksBelow, 1}),
    [](const testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

// One Ctrl-C, SIGTERM or SIGHUP ends a run at once, whichever phase it is
// in, and closes the port; a bench run logs the board it stopped. In the
// monitor that follows a run, Ctrl-C ends it with the run's status, and a
// board that goes away ends it with status 2.
TEST(E2eInterrupt, EndsTheRunOrTheMonitor)
{
    const char kEchoing[] = "fernbow-sim: program running, echoing\r";
    const std::vector<std::string> echoBoard = {"--instant", "--echo", "--idle-ms", "200"};
    const struct {
        const char* phase;
        std::vector<std::string> simOptions;
        std::vector<std::string> cliOptions;
        const char* line;   // printed once the phase has begun
        const char* typed;  // then sent on standard input, and expected back as a line
        int sig;            // then sent to the CLI; 0: the board is stopped instead
        int status;
        const char* text;   // in the error output
        bool bench;         // --repeat --log: lines start with the port; a row is logged
    } phases[] = {
        {"searching", {"--instant", "--ignore-wakeups", "1000000"}, {}, "Searching PIC!", nullptr, SIGTERM, 130,
         "Interrupted", false},
        // the board keeps the run waiting 3 s
        {"writing", {"--silent", "1"}, {}, "PIC16F88 found", nullptr, SIGINT, 130, "Interrupted", false},
        {"hung up while writing", {"--silent", "1"}, {}, "PIC16F88 found", nullptr, SIGHUP, 129, "Interrupted", false},
        {"hung up on a bench", {"--silent", "1"}, {}, "PIC16F88 found", nullptr, SIGHUP, 129, "", true},
        {"monitoring", echoBoard, {"--monitor"}, kEchoing, "ping", SIGINT, 0, "Monitor on", false},
        {"monitoring a board that goes away", echoBoard, {"--monitor=9600"}, kEchoing, nullptr, 0, 2,
         "has gone away: the monitor has ended", false},
    };
    for (const auto& p : phases) {
        SCOPED_TRACE(p.phase);
        TempFolder folder;
        WriteTextFile(folder.File("program.hex"), SmallProgram());
        SimProcess sim(folder, "88", p.simOptions);
        ASSERT_FALSE(sim.Device().empty()) << sim.Log();
        // Standard input stays open (the test holds the FIFO) until the end.
        const std::string input = folder.File("cli.in");
        ASSERT_EQ(::mkfifo(input.c_str(), 0600), 0);
        const int typing = ::open(input.c_str(), O_RDWR);
        std::vector<std::string> argv = {FERNBOW_CLI, "--port", sim.Device()};
        if (p.bench) argv.insert(argv.end(), {"--repeat", "--log", folder.File("runs.csv")});
        argv.insert(argv.end(), p.cliOptions.begin(), p.cliOptions.end());
        argv.push_back(folder.File("program.hex"));
        Child cli(argv, folder.Path(), "", folder.File("cli.err"), input);
        const std::string expected = (p.bench ? sim.Device() + ": " : std::string()) + p.line;
        std::string line;
        do line = cli.ReadLine(30000);
        while (!line.empty() && line != expected);
        ASSERT_EQ(line, expected) << ReadTextFile(folder.File("cli.err"));
        if (p.typed) {
            const std::string text = std::string(p.typed) + "\n";
            ASSERT_EQ(::write(typing, text.data(), text.size()), static_cast<ssize_t>(text.size()));
            EXPECT_EQ(cli.ReadLine(30000), p.typed) << ReadTextFile(folder.File("cli.err"));
        }
        ChildResult simEnd;
        if (p.sig)
            cli.Signal(p.sig);
        else
            sim.Stop(&simEnd);
        const ChildResult end = cli.Wait(30000);
        ::close(typing);
        const std::string err = ReadTextFile(folder.File("cli.err"));
        EXPECT_TRUE(end.finished);
        EXPECT_EQ(end.status, p.status) << err;
        EXPECT_NE(err.find(p.text), std::string::npos) << err;
        if (p.bench) {
            const std::string log = ReadTextFile(folder.File("runs.csv"));
            EXPECT_NE(log.find(",PIC16F88,interrupted,"), std::string::npos) << log;
        }
        if (p.sig) sim.Stop(&simEnd);
        EXPECT_EQ(simEnd.status, 0) << sim.Log();
    }
}

// A reader that goes away (| head) stops nobody: the board is finished.
TEST(E2eOutput, ClosedStdoutStillFinishesTheBoard)
{
    TempFolder folder;
    WriteTextFile(folder.File("program.hex"), SmallProgram());
    SimProcess sim(folder, "88", {"--instant"});
    ASSERT_FALSE(sim.Device().empty()) << sim.Log();
    Child cli({FERNBOW_CLI, "--port", sim.Device(), folder.File("program.hex")}, folder.Path(), "",
              folder.File("cli.err"));
    EXPECT_FALSE(cli.ReadLine(30000).empty());
    cli.CloseStdout();
    const ChildResult end = cli.Wait(60000);
    EXPECT_TRUE(end.finished);
    EXPECT_EQ(end.status, 0) << ReadTextFile(folder.File("cli.err"));
    EXPECT_EQ(FirstDifference(sim.Stop(), ExpectedFlash(LoadImage(SmallProgram()), ChipF88())), "");
}

// A number the settings hold but no port has is named as such.
TEST(E2ePort, ARememberedNumberOutOfRangeIsNamed)
{
    TempFolder folder;
    const std::string key = folder.File("Corvane/Fernbow/Settings/ComNr");
    ASSERT_EQ(std::system(("mkdir -p '" + key + "'").c_str()), 0);
    const int32_t comNr = -33525382;
    const uint32_t bits = static_cast<uint32_t>(comNr);
    WriteTextFile(key + "/Software\\Corvane\\Fernbow\\Settings\\ComNr",
                  std::string{char(bits), char(bits >> 8), char(bits >> 16), char(bits >> 24)});
    WriteTextFile(folder.File("program.hex"), SmallProgram());
    const CliRun run = RunCli({folder.File("program.hex")}, folder);
    EXPECT_EQ(run.result.status, 2);
    EXPECT_NE(run.err.find("remembered port number -33525382 is not COM0 to COM19; choose a port with --port"),
              std::string::npos)
        << run.err;
}

// Two runs on one board: the second program replaces the first where it has
// data, and the bootloader survives both.
TEST(E2eBoard, SecondRunOnTheSameBoard)
{
    TempFolder folder;
    SimProcess sim(folder, "819", {"--instant"});
    ASSERT_FALSE(sim.Device().empty()) << sim.Log();
    const std::string first = SmallProgram();
    const std::string second = IntelHexRecord(0, Bytes(16, 0x77)) + IntelHexEndRecord();
    WriteTextFile(folder.File("a.hex"), first);
    WriteTextFile(folder.File("b.hex"), second);
    EXPECT_EQ(RunCli({"--port", sim.Device(), "--wait", "30", folder.File("a.hex")}, folder).result.status, 0);
    EXPECT_EQ(RunCli({"--port", sim.Device(), "--wait", "30", folder.File("b.hex")}, folder).result.status, 0);
    const std::vector<uint16_t> flash = sim.Stop();

    std::vector<uint16_t> expected = ExpectedFlash(LoadImage(first), ChipF819());
    const std::vector<uint16_t> again = ExpectedFlash(LoadImage(second), ChipF819());
    for (uint32_t w = 0; w < 32; ++w) expected[w] = again[w];            // block 0 sent again
    for (uint32_t w = 0x740; w < 0x760; ++w) expected[w] = again[w];     // and the vector block
    EXPECT_EQ(FirstDifference(flash, expected), "") << sim.Log();
}

// --watch: a rebuild that is renamed over the file, then one written in
// place. A malformed file in between is reported and the watch goes on.
// The same program saved again is not programmed again, and one rewritten
// in place in parts 0.5 s apart is programmed once, whole. Ctrl-C ends the
// watch with the last run's status.
TEST(E2eBoard, WatchProgramsEachRebuild)
{
    if (std::getenv("FERNBOW_E2E_WINE_CLI")) GTEST_SKIP() << "drives the Linux program's standard output directly";
    TempFolder folder;
    SimProcess sim(folder, "819", {"--instant"});
    ASSERT_FALSE(sim.Device().empty()) << sim.Log();
    const std::string hexPath = folder.File("w.hex");
    const std::string second = IntelHexRecord(0, Bytes(16, 0x77)) + ":00000001FF\n";
    WriteTextFile(hexPath, SmallProgram());
    Child cli({FERNBOW_CLI, "--port", sim.Device(), "--watch", hexPath}, folder.Path(), "", folder.File("cli.err"));
    auto waitForSuccess = [&] {
        std::string line;
        do line = cli.ReadLine(30000);
        while (!line.empty() && line != kSuccess);
        return line == kSuccess;
    };
    // The n-th time the error output says text.
    auto errSays = [&](const std::string& text, int n = 1) {
        for (int i = 0; i < 1500; ++i) {
            const std::string err = ReadTextFile(folder.File("cli.err"));
            int seen = 0;
            for (size_t at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++seen;
            if (seen >= n) return true;
            usleep(20000);
        }
        return false;
    };
    ASSERT_TRUE(waitForSuccess()) << ReadTextFile(folder.File("cli.err"));
    ASSERT_TRUE(errSays("Watching"));

    WriteTextFile(folder.File("w.hex.tmp"), IntelHexRecord(0x400E, {0x30, 0x3F}) + ":00000001FF\n");
    ASSERT_EQ(std::rename(folder.File("w.hex.tmp").c_str(), hexPath.c_str()), 0);
    EXPECT_TRUE(errSays("No program data in file")) << ReadTextFile(folder.File("cli.err"));

    WriteTextFile(hexPath, second);
    EXPECT_TRUE(waitForSuccess()) << ReadTextFile(folder.File("cli.err"));
    // Ctrl-C before the run has returned would still count as interrupting it.
    EXPECT_TRUE(errSays("Watching", 3)) << ReadTextFile(folder.File("cli.err"));

    WriteTextFile(hexPath, second);
    usleep(1000000);
    const std::string third = IntelHexRecord(0, Bytes(16, 0x55)) + ":00000001FF\n";  // as long as second
    std::FILE* inPlace = std::fopen(hexPath.c_str(), "r+b");
    ASSERT_NE(inPlace, nullptr);
    for (size_t at = 0; at < third.size(); at += 20) {
        if (at > 0) usleep(500000);
        std::fwrite(third.data() + at, 1, std::min<size_t>(20, third.size() - at), inPlace);
        std::fflush(inPlace);
    }
    std::fclose(inPlace);
    EXPECT_TRUE(waitForSuccess()) << ReadTextFile(folder.File("cli.err"));
    EXPECT_TRUE(errSays("Watching", 4)) << ReadTextFile(folder.File("cli.err"));
    usleep(1000000);
    cli.Signal(SIGINT);
    const ChildResult end = cli.Wait(30000);
    EXPECT_TRUE(end.finished);
    EXPECT_EQ(end.status, 0) << ReadTextFile(folder.File("cli.err"));
    const std::string err = ReadTextFile(folder.File("cli.err"));
    size_t changes = 0;
    for (size_t at = err.find("has changed"); at != std::string::npos; at = err.find("has changed", at + 1)) ++changes;
    EXPECT_EQ(changes, 3u) << err;

    std::vector<uint16_t> expected = ExpectedFlash(LoadImage(SmallProgram()), ChipF819());
    const std::vector<uint16_t> again = ExpectedFlash(LoadImage(third), ChipF819());
    for (uint32_t w = 0; w < 32; ++w) expected[w] = again[w];
    for (uint32_t w = 0x740; w < 0x760; ++w) expected[w] = again[w];
    EXPECT_EQ(FirstDifference(sim.Stop(), expected), "") << sim.Log();
}

}  // namespace

namespace {

// A scripted board: it ends by itself after one programming session, and
// takes its COMn link away when it goes.
TEST(E2eBoard, ExitsAfterASessionAndRemovesItsComLink)
{
    TempFolder folder;
    const std::string link = folder.File("Corvane/Fernbow/Ports/COM3");
    SimProcess sim(folder, "88", {"--instant", "--com", "3", "--exit-after", "1", "--idle-ms", "1000"});
    ASSERT_FALSE(sim.Device().empty()) << sim.Log();
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0) << link;
    EXPECT_EQ(std::string(target), sim.Device());

    WriteTextFile(folder.File("p.hex"), SmallProgram());
    EXPECT_EQ(RunCli({"--port", "COM3", "--wait", "30", folder.File("p.hex")}, folder).result.status, 0);
    ChildResult end;
    const std::vector<uint16_t> flash = sim.Stop(&end, 60000);
    EXPECT_TRUE(end.finished);
    EXPECT_EQ(end.status, 0);
    EXPECT_NE(sim.Log().find("session 1 ended"), std::string::npos) << sim.Log();
    EXPECT_EQ(FirstDifference(flash, ExpectedFlash(LoadImage(SmallProgram()), ChipF88())), "");
    EXPECT_NE(access(link.c_str(), F_OK), 0) << "link left behind";
}

}  // namespace
