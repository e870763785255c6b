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

std::vector<fs::path> CorpusFiles()
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(FERNBOW_HEXCORPUS, ec))
        if (entry.path().extension() == ".hex") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The image another parser makes of the file: program memory and ID
// locations, erased to 0xFF, 32 KiB.
std::vector<uint8_t> PeerImage(const fs::path& hex)
{
    const fs::path out = fs::temp_directory_path() / ("fernbow-peer-" + hex.stem().string() + ".bin");
    const std::string cmd = std::string(SREC_CAT) + " '" + hex.string() +
                            "' -Intel -crop 0 0x4001 -fill 0xFF 0 0x8000 -o '" + out.string() + "' -Binary";
    if (std::system(cmd.c_str()) != 0) return {};
    std::ifstream in(out, std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(out);
    return image;
}

TEST(EngineCorpus, ImagesMatchAPeerParser)
{
    const auto files = CorpusFiles();
    ASSERT_FALSE(files.empty()) << "no HEX files in " << FERNBOW_HEXCORPUS;
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

TEST(EngineCorpus, BufferedFileReadsLikeMemory)
{
    for (const auto& file : CorpusFiles()) {
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

}  // namespace
