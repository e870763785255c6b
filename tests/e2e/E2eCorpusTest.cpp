// Real programs from several compilers, and the examples shipped with the
// tool, each written into a simulated board of its chip.
#include "E2eSupport.h"
#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <gtest/gtest.h>

namespace {

struct HexCase {
    std::string path;
    std::string name;
    std::string chip;  // "819" or "88"
};

void PrintTo(const HexCase& c, std::ostream* os) { *os << c.path; }

std::string TestName(std::string s)
{
    for (char& c : s)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return s;
}

std::vector<HexCase> CorpusFiles()
{
    std::vector<HexCase> cases;
    if (DIR* dir = ::opendir(FERNBOW_HEXCORPUS)) {
        while (dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name.size() < 5 || name.substr(name.size() - 4) != ".hex") continue;
            cases.push_back({std::string(FERNBOW_HEXCORPUS) + "/" + name, TestName(name.substr(0, name.size() - 4)),
                             name.rfind("16f819", 0) == 0 ? "819" : "88"});
        }
        ::closedir(dir);
    }
    std::sort(cases.begin(), cases.end(), [](const HexCase& a, const HexCase& b) { return a.name < b.name; });
    return cases;
}

std::vector<HexCase> ExampleFiles()
{
    return {{std::string(FERNBOW_EXAMPLES) + "/blink16f88.hex", "blink16f88", "88"},
            {std::string(FERNBOW_EXAMPLES) + "/blink16f819.hex", "blink16f819", "819"}};
}

void ProgramAndCompare(const HexCase& c)
{
    const std::string hexText = ReadTextFile(c.path);
    ASSERT_FALSE(hexText.empty()) << c.path;
    const ChipInfo& chip = c.chip == "819" ? ChipF819() : ChipF88();
    const LoadedImage image = LoadImage(hexText);
    const bool refused = ReachesBootArea(image, chip);

    TempFolder folder;
    SimProcess sim(folder, c.chip, {"--instant"});
    ASSERT_FALSE(sim.Device().empty()) << sim.Log();
    const CliRun run = RunCli({"--port", sim.Device(), "--wait", "30", c.path}, folder);
    const std::vector<uint16_t> flash = sim.Stop();
    const std::string context = "cli out:\n" + run.out + "cli err:\n" + run.err + "sim log:\n" + sim.Log();

    ASSERT_TRUE(run.result.finished) << context;
    if (refused) {
        EXPECT_EQ(run.result.status, 4) << context;
        EXPECT_NE(run.err.find("hex file address overlaps boot area. Programming aborted."), std::string::npos)
            << context;
        EXPECT_EQ(FirstDifference(flash, FreshFlash(chip)), "") << context;
    } else {
        EXPECT_EQ(run.result.status, 0) << context;
        EXPECT_EQ(FirstDifference(flash, ExpectedFlash(image, chip)), "") << context;
    }
}

class E2eCorpus : public testing::TestWithParam<HexCase> {};
TEST_P(E2eCorpus, ProgrammedOrRefused) { ProgramAndCompare(GetParam()); }
INSTANTIATE_TEST_SUITE_P(E2e, E2eCorpus, testing::ValuesIn(CorpusFiles()),
                         [](const testing::TestParamInfo<HexCase>& info) { return info.param.name; });

// Without it the cases above would quietly be none.
TEST(E2eCorpusFolder, HoldsHexFiles)
{
    EXPECT_FALSE(CorpusFiles().empty()) << "no *.hex in " << FERNBOW_HEXCORPUS;
}

class E2eExample : public testing::TestWithParam<HexCase> {};
TEST_P(E2eExample, Programmed)
{
    const HexCase& c = GetParam();
    ASSERT_FALSE(ReachesBootArea(LoadImage(ReadTextFile(c.path)), c.chip == "819" ? ChipF819() : ChipF88()));
    ProgramAndCompare(c);
}
INSTANTIATE_TEST_SUITE_P(E2e, E2eExample, testing::ValuesIn(ExampleFiles()),
                         [](const testing::TestParamInfo<HexCase>& info) { return info.param.name; });

}  // namespace
