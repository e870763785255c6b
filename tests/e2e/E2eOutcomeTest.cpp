// fernbow-cli against fernbow-sim through real pseudo-terminals: every way a
// run can end, with the board's flash read back afterwards.
#include "E2eSupport.h"
#include "IntelHexWriter.h"
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
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

enum class Hex { Program, BootArea, Missing, ConfigOnly };
enum class Flash { Full, Fresh, BlocksBelow };

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
};

void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }

class E2eOutcome : public testing::TestWithParam<OutcomeCase> {};

TEST_P(E2eOutcome, CliReportsItAndTheFlashShowsIt)
{
    const OutcomeCase& c = GetParam();
    const ChipInfo& chip = std::string(c.chip) == "819" ? ChipF819() : ChipF88();
    TempFolder folder;
    const std::string hexText = c.hex == Hex::BootArea     ? IntoBootArea(chip)
                                : c.hex == Hex::ConfigOnly ? IntelHexRecord(0x400E, {0x30, 0x3F}) + IntelHexEndRecord()
                                                           : SmallProgram();
    const std::string hexPath = folder.File("program.hex");
    if (c.hex != Hex::Missing) WriteTextFile(hexPath, hexText);

    std::vector<std::string> simOptions = {"--instant"};
    simOptions.insert(simOptions.end(), c.simOptions.begin(), c.simOptions.end());
    SimProcess sim(folder, c.chip, simOptions);
    ASSERT_FALSE(sim.Device().empty()) << sim.Log();

    std::vector<std::string> args = {"--port", sim.Device(), "--wait", "30"};
    args.insert(args.end(), c.cliOptions.begin(), c.cliOptions.end());
    if (std::find(c.cliOptions.begin(), c.cliOptions.end(), "--port") != c.cliOptions.end())
        args.erase(args.begin(), args.begin() + 2);
    args.push_back(hexPath);
    const CliRun run = RunCli(args, folder);

    ChildResult simEnd;
    const std::vector<uint16_t> flash = sim.Stop(&simEnd);
    const std::string context = "cli out:\n" + run.out + "cli err:\n" + run.err + "sim log:\n" + sim.Log();

    ASSERT_TRUE(run.result.finished) << context;
    EXPECT_EQ(run.result.status, c.exitStatus) << context;
    EXPECT_NE((run.out + run.err).find(c.text), std::string::npos) << "expected \"" << c.text << "\"\n" << context;
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
                    "configuration words, ID locations and EEPROM data in the file are not written", Flash::Full},
        OutcomeCase{"NoProgramData", "819", {}, Hex::ConfigOnly, 3, "No program data in file", Flash::Fresh},
        OutcomeCase{"BootArea819", "819", {}, Hex::BootArea, 4,
                    "hex file address overlaps boot area. Programming aborted.", Flash::Fresh},
        OutcomeCase{"BootArea88", "88", {}, Hex::BootArea, 4,
                    "hex file address overlaps boot area. Programming aborted.", Flash::Fresh},
        OutcomeCase{"UnexpectedAnswer", "88", {"--answer", "X"}, Hex::Program, 5, "Unexpected responce form target",
                    Flash::Fresh},
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
        OutcomeCase{"BoardHangsUp", "88", {"--hangup-after", "1"}, Hex::Program, 6, "Timeout!", Flash::BlocksBelow, 1},
        OutcomeCase{"MissingFile", "88", {}, Hex::Missing, 3, "Can't open file", Flash::Fresh},
        OutcomeCase{"MissingPort", "88", {}, Hex::Program, 2, "Can't open comport", Flash::Fresh, 0,
                    {"--port", "/dev/fernbow-no-such-tty"}},
        OutcomeCase{"PortByComNumber", "88", {"--com", "5"}, Hex::Program, 0, kSuccess, Flash::Full, 0,
                    {"--port", "COM5"}}),
    [](const testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

// One Ctrl-C or SIGTERM ends a run at once, whichever phase it is in, and
// closes the port.
TEST(E2eInterrupt, EndsTheRunWithStatus130)
{
    const struct {
        const char* phase;
        std::vector<std::string> simOptions;
        const char* line;  // printed once the phase has begun
        int sig;
    } phases[] = {
        {"searching", {"--instant", "--ignore-wakeups", "1000000"}, "Searching PIC!", SIGTERM},
        {"writing", {"--silent", "1"}, "PIC16F88 found", SIGINT},  // the board keeps the run waiting 3 s
    };
    for (const auto& p : phases) {
        SCOPED_TRACE(p.phase);
        TempFolder folder;
        WriteTextFile(folder.File("program.hex"), SmallProgram());
        SimProcess sim(folder, "88", p.simOptions);
        ASSERT_FALSE(sim.Device().empty()) << sim.Log();
        Child cli({FERNBOW_CLI, "--port", sim.Device(), folder.File("program.hex")}, folder.Path(), "",
                  folder.File("cli.err"));
        std::string line;
        do line = cli.ReadLine(30000);
        while (!line.empty() && line != p.line);
        ASSERT_EQ(line, p.line) << ReadTextFile(folder.File("cli.err"));
        cli.Signal(p.sig);
        const ChildResult end = cli.Wait(30000);
        const std::string err = ReadTextFile(folder.File("cli.err"));
        EXPECT_TRUE(end.finished);
        EXPECT_EQ(end.status, 130) << err;
        EXPECT_NE(err.find("Interrupted"), std::string::npos) << err;
        ChildResult simEnd;
        sim.Stop(&simEnd);
        EXPECT_EQ(simEnd.status, 0) << sim.Log();
    }
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
