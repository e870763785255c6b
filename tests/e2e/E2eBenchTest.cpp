// Production benches: fernbow-cli with --repeat and several --port against
// simulated boards, read back through the run log and the boards' flash.
#include "E2eSupport.h"
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>

namespace {

// Blocks 0 and 1 hold data, and the vector block is sent last.
const char kProgram[] =
    ":100000000102030405060708090A0B0C0D0E0F1068\n"
    ":10004000000102030405060708090A0B0C0D0E0F38\n"
    ":00000001FF\n";

struct SimSpec {
    const char* chip;
    int com;
    std::vector<std::string> options;
    bool lastBoardProgrammed;  // its dump must then hold the whole program
};

struct BenchCase {
    const char* name;
    std::vector<SimSpec> sims;
    std::vector<std::string> cliOptions;  // the log and the file are added
    int exitStatus;
    std::map<std::string, std::vector<std::string>> outcomes;  // port -> the log's outcomes, in order
    const char* text;                                          // in the output
    bool overSer2net = false;  // each COMn of cliOptions reached through ser2net (RFC 2217) instead
};

void PrintTo(const BenchCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::string> CsvFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    return fields;
}

// "2026-12-07T07:30:00Z"
bool IsUtcTime(const std::string& text)
{
    const std::string shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i]) return false;
    return true;
}

std::string Sha256Sum(const std::string& path)
{
    std::string digest;
    if (FILE* pipe = popen(("sha256sum '" + path + "'").c_str(), "r")) {
        char text[65] = {};
        if (std::fread(text, 1, 64, pipe) == 64) digest = text;
        pclose(pipe);
    }
    return digest;
}

class E2eBench : public testing::TestWithParam<BenchCase> {};

TEST_P(E2eBench, EveryBoardIsLoggedAndTheExitStatusTellsTheFirstFailure)
{
    const BenchCase& c = GetParam();
    TempFolder folder;
    const std::string hexPath = folder.File("fw, v1.hex");  // a comma: the log must quote it
    WriteTextFile(hexPath, kProgram);
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (const SimSpec& spec : c.sims) {
        std::vector<std::string> options = {"--instant", "--com", std::to_string(spec.com)};
        options.insert(options.end(), spec.options.begin(), spec.options.end());
        sims.push_back(std::make_unique<SimProcess>(folder, spec.chip, options, "COM" + std::to_string(spec.com)));
        ASSERT_FALSE(sims.back()->Device().empty()) << sims.back()->Log();
    }

    std::vector<std::string> args = c.cliOptions;
    std::unique_ptr<Ser2Net> server;
    std::map<std::string, std::string> portNames;  // what the log says -> COMn
    if (c.overSer2net) {
        std::vector<std::string> devices;
        for (const auto& sim : sims) devices.push_back(sim->Device());
        server = std::make_unique<Ser2Net>(folder, devices, Ser2Net::Mode::Rfc2217);
        for (size_t i = 0; i < c.sims.size(); ++i) {
            const std::string com = "COM" + std::to_string(c.sims[i].com);
            ASSERT_FALSE(server->Url(i).empty()) << server->Log();
            std::replace(args.begin(), args.end(), com, server->Url(i));
            portNames[server->Url(i)] = com;
        }
    }
    const std::string logPath = c.exitStatus == 1 ? folder.File("no/such/folder/runs.csv") : folder.File("runs.csv");
    args.insert(args.end(), {"--log", logPath, hexPath});
    const CliRun run = RunCli(args, folder);
    std::string context = "cli out:\n" + run.out + "cli err:\n" + run.err;
    std::vector<std::vector<uint16_t>> flashes;
    for (auto& sim : sims) {
        flashes.push_back(sim->Stop());
        context += "sim log:\n" + sim->Log();
    }

    ASSERT_TRUE(run.result.finished) << context;
    EXPECT_EQ(run.result.status, c.exitStatus) << context;
    EXPECT_NE((run.out + run.err).find(c.text), std::string::npos) << "expected \"" << c.text << "\"\n" << context;

    const std::string log = ReadTextFile(logPath);
    std::map<std::string, std::vector<std::string>> outcomes;
    std::stringstream lines(log);
    std::string line;
    if (c.exitStatus != 1) {
        ASSERT_TRUE(std::getline(lines, line)) << context;
        EXPECT_EQ(line, "utc_time,port,device,file,sha256,chip,outcome,seconds,bytes_sent,note");
    }
    const std::string sha = Sha256Sum(hexPath);
    ASSERT_EQ(sha.size(), 64u);
    while (std::getline(lines, line)) {
        // The file's name is quoted for its comma: split it off first.
        const std::string quoted = ",\"" + hexPath + "\",";
        const size_t at = line.find(quoted);
        ASSERT_NE(at, std::string::npos) << line;
        const std::vector<std::string> before = CsvFields(line.substr(0, at));
        const std::vector<std::string> after = CsvFields(line.substr(at + quoted.size()));
        ASSERT_EQ(before.size(), 3u) << line;
        ASSERT_GE(after.size(), 5u) << line;
        EXPECT_TRUE(IsUtcTime(before[0])) << line;
        EXPECT_EQ(before[2].rfind(c.overSer2net ? "rfc2217://" : "/dev/", 0), 0u) << line;
        EXPECT_EQ(after[0], sha) << line;
        EXPECT_TRUE(after[1] == "PIC16F88" || after[1] == "PIC16F819") << line;
        EXPECT_GT(std::stoi(after[4]), 0) << line;
        outcomes[portNames.count(before[1]) ? portNames[before[1]] : before[1]].push_back(after[2]);
    }
    EXPECT_EQ(outcomes, c.outcomes) << context;

    for (size_t i = 0; i < c.sims.size(); ++i) {
        if (!c.sims[i].lastBoardProgrammed) continue;
        const ChipInfo& chip = std::string(c.sims[i].chip) == "819" ? ChipF819() : ChipF88();
        EXPECT_EQ(FirstDifference(flashes[i], ExpectedFlash(LoadImage(kProgram), chip)), "")
            << "COM" << c.sims[i].com << "\n" << context;
    }
}

using Outcomes = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    E2e, E2eBench,
    testing::Values(
        // Each board ends its connection when done and a fresh one comes up
        // on a new pseudo-terminal; the second stops answering mid-way and
        // ends its connection: a lost port, seen at once, not a timeout.
        BenchCase{"RepeatBoardAfterBoardOneGoesAway",
                  {{"88", 3, {"--boards", "3", "--idle-ms", "200", "--faulty-board", "2", "--silent", "1"}, true}},
                  {"--repeat", "--count", "3", "--port", "COM3"},
                  2,
                  {{"COM3", Outcomes{"programmed", "port lost", "programmed"}}},
                  "2 programmed, 1 failed"},
        BenchCase{"ThreePortsOneRefusesEveryFrame",
                  {{"88", 3, {}, true}, {"819", 4, {}, true}, {"88", 5, {"--nack", "1:10"}, false}},
                  {"--port", "COM3", "--port", "4", "--port", "COM5"},
                  7,
                  {{"COM3", Outcomes{"programmed"}},
                   {"COM4", Outcomes{"programmed"}},
                   {"COM5", Outcomes{"transmission problem"}}},
                  "Summary COM5: 0 programmed, 1 failed (exit status 7)"},
        BenchCase{"RepeatOnTwoPortsAtOnce",
                  {{"88", 3, {"--boards", "2", "--idle-ms", "200"}, true},
                   {"819", 4, {"--boards", "2", "--idle-ms", "200"}, true}},
                  {"--repeat", "--count", "2", "--port", "COM3", "--port", "COM4"},
                  0,
                  {{"COM3", Outcomes{"programmed", "programmed"}}, {"COM4", Outcomes{"programmed", "programmed"}}},
                  "all ports: 4 programmed, 0 failed"},
        // A board running its own program answers the wake-up with bytes of
        // its own: no board yet, and nothing else within --wait: status 5.
        BenchCase{"ForeignAnswerIsNoBoardYet",
                  {{"88", 3, {"--answer", "X"}, false}},
                  {"--repeat", "--wait", "2", "--port", "COM3"},
                  5,
                  {},
                  "only bytes that were no bootloader's answer came within 2.0 s"},
        // --log is kept for a single board as well.
        BenchCase{"OnePortOneBoardIsLogged",
                  {{"819", 3, {}, true}},
                  {"--port", "COM3"},
                  0,
                  {{"COM3", Outcomes{"programmed"}}},
                  "Summary COM3: 1 programmed, 0 failed"},
        BenchCase{"TwoBoardsOverSer2net",
                  {{"88", 3, {}, true}, {"819", 4, {}, true}},
                  {"--port", "COM3", "--port", "COM4"},
                  0,
                  {{"COM3", Outcomes{"programmed"}}, {"COM4", Outcomes{"programmed"}}},
                  "all ports: 2 programmed, 0 failed",
                  true},
        BenchCase{"UnwritableLogStopsBeforeAnyBoard",
                  {{"88", 3, {}, false}},
                  {"--port", "COM3", "--port", "COM4"},
                  1,
                  {},
                  "cannot write the log"}),
    [](const testing::TestParamInfo<BenchCase>& info) { return std::string(info.param.name); });

}  // namespace
