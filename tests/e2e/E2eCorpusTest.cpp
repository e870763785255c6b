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

// Our own corpus, built from source, and the real-world one kept beside the
// checkout, which may be absent.
struct Corpus {
    const char* folder;
    const char* whyAbsent;
};
void PrintTo(const Corpus& corpus, std::ostream* os) { *os << corpus.folder; }

const Corpus kOwnCorpus = {FERNBOW_OWN_CORPUS, "gpasm is not installed, so the in-tree corpus was not built"};
const Corpus kRealWorldCorpus = {FERNBOW_HEXCORPUS,
                                 "the real-world HEX corpus is absent here (FERNBOW_HEXCORPUS names it)"};

std::vector<HexCase> HexFilesIn(const Corpus& corpus)
{
    std::vector<HexCase> cases;
    if (DIR* dir = ::opendir(corpus.folder)) {
        while (dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name.size() < 5 || name.substr(name.size() - 4) != ".hex") continue;
            cases.push_back({std::string(corpus.folder) + "/" + name, TestName(name.substr(0, name.size() - 4)),
                             name.rfind("16f819", 0) == 0 ? "819" : "88"});
        }
        ::closedir(dir);
    }
    std::sort(cases.begin(), cases.end(), [](const HexCase& a, const HexCase& b) { return a.name < b.name; });
    return cases;
}

std::vector<HexCase> CorpusFiles()
{
    std::vector<HexCase> cases = HexFilesIn(kOwnCorpus);
    const std::vector<HexCase> realWorld = HexFilesIn(kRealWorldCorpus);
    cases.insert(cases.end(), realWorld.begin(), realWorld.end());
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

// Without these the rows above would quietly be none.
class E2eCorpusFolder : public testing::TestWithParam<Corpus> {};
TEST_P(E2eCorpusFolder, HoldsHexFiles)
{
    DIR* dir = ::opendir(GetParam().folder);
    if (!dir) GTEST_SKIP() << GetParam().whyAbsent << ": " << GetParam().folder;
    ::closedir(dir);
    EXPECT_FALSE(HexFilesIn(GetParam()).empty()) << "no *.hex in " << GetParam().folder;
}
INSTANTIATE_TEST_SUITE_P(E2e, E2eCorpusFolder, testing::Values(kOwnCorpus, kRealWorldCorpus),
                         [](const testing::TestParamInfo<Corpus>& info) {
                             return std::string(info.index == 0 ? "Own" : "RealWorld");
                         });

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
