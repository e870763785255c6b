#include "EngineFixture.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// Our own corpus, built from source, and the real-world one kept beside the
// checkout, which may be absent.
struct Corpus {
    const char* name;
    const char* folder;
    const char* whyAbsent;
};
const Corpus kCorpora[] = {
    {"Own", FERNBOW_OWN_CORPUS, "gpasm is not installed, so the in-tree corpus was not built"},
    {"RealWorld", FERNBOW_HEXCORPUS, "the real-world HEX corpus is absent here (FERNBOW_HEXCORPUS names it)"},
};

void PrintTo(const Corpus& corpus, std::ostream* os) { *os << corpus.name; }

std::vector<fs::path> CorpusFiles(const Corpus& corpus)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(corpus.folder, ec))
        if (entry.path().extension() == ".hex") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The image another parser (srec_cat, run by the build) made of the file:
// program memory only (the loader leaves everything from 0x4000 up: ID
// locations, configuration, EEPROM), erased to 0xFF, 32 KiB.
std::vector<uint8_t> PeerImage(const fs::path& hex)
{
    std::ifstream in(fs::path(FERNBOW_PEER_IMAGES) / (hex.stem().string() + ".bin"), std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class EngineCorpus : public testing::TestWithParam<Corpus> {
protected:
    std::vector<fs::path> Files() const
    {
        auto files = CorpusFiles(GetParam());
        if (files.empty()) ADD_FAILURE() << "no HEX files in " << GetParam().folder;
        return files;
    }
    void SetUp() override
    {
        if (!fs::is_directory(GetParam().folder)) GTEST_SKIP() << GetParam().whyAbsent << ": " << GetParam().folder;
    }
};

TEST_P(EngineCorpus, ImagesMatchAPeerParser)
{
    const auto files = Files();
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        EngineRig rig;
        ASSERT_TRUE(rig.Load(text.str()));
        EXPECT_EQ(rig.writer.LoadReport().badRecords, 0u);
        const std::vector<uint8_t> peer = PeerImage(file);
        ASSERT_EQ(peer.size(), kImageSize);
        const uint8_t* image = rig.writer.Image();
        for (uint32_t i = 0; i < kImageSize; ++i)
            ASSERT_EQ(image[i], peer[i]) << "offset 0x" << std::hex << i;
    }
}

TEST_P(EngineCorpus, BufferedFileReadsLikeMemory)
{
    for (const auto& file : Files()) {
        SCOPED_TRACE(file.filename().string());
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const std::string hex = text.str();

        FakeHost host;
        ScriptedLink link(host.tick);
        CFlashWriter fromFile(link, host);
        CHexFile hexFile;
        ASSERT_TRUE(hexFile.Open(file.string()));
        ASSERT_TRUE(fromFile.LoadHex(hexFile));

        EngineRig rig;
        ASSERT_TRUE(rig.Load(hex));
        EXPECT_EQ(0, std::memcmp(fromFile.Image(), rig.writer.Image(), kImageSize));
        EXPECT_EQ(fromFile.TotalBytes(), rig.writer.TotalBytes());
        EXPECT_EQ(fromFile.HighAddr(), rig.writer.HighAddr());
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, EngineCorpus, testing::ValuesIn(kCorpora),
                         [](const testing::TestParamInfo<Corpus>& info) { return std::string(info.param.name); });

}  // namespace
