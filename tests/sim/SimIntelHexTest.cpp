#include "FlashModel.h"
#include "AtomicFile.h"
#include "IntelHexWriter.h"
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Every record's bytes, checksum included, sum to zero.
bool ChecksumOk(const std::string& record)
{
    unsigned sum = 0;
    for (size_t i = 1; i + 1 < record.size(); i += 2) sum += std::stoul(record.substr(i, 2), nullptr, 16);
    return (sum & 0xFF) == 0;
}

TEST(SimIntelHex, WordsAreLittleEndianPairsAtTwiceTheirAddress)
{
    std::vector<uint16_t> words(16, 0x3FFF);
    words[0] = 0x2F60;
    words[9] = 0x0123;
    const auto lines = Lines(IntelHexFromWords(words));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], ":10000000602FFF3FFF3FFF3FFF3FFF3FFF3FFF3F" + std::string("AF"));
    EXPECT_EQ(lines[1].substr(0, 9), ":10001000");
    EXPECT_EQ(lines[1].substr(9, 8), "FF3F2301");
    EXPECT_EQ(lines[2], ":00000001FF");
    for (const auto& l : lines) EXPECT_TRUE(ChecksumOk(l)) << l;
}

TEST(SimIntelHex, WholeFlashDumpHasOneRecordPerSixteenBytes)
{
    for (const ChipInfo* chip : {&ChipF819(), &ChipF88()}) {
        FlashModel flash(*chip);
        const auto lines = Lines(IntelHexFromWords(flash.AllWords()));
        ASSERT_EQ(lines.size(), static_cast<size_t>(chip->flashWords) * 2 / 16 + 1);
        EXPECT_EQ(lines[lines.size() - 2].substr(3, 4), chip->isF819 ? "0FF0" : "1FF0");
        for (const auto& l : lines) ASSERT_TRUE(ChecksumOk(l)) << l;
    }
}

TEST(SimIntelHex, AtomicWriteReplacesTheFileAndLeavesNoTemporary)
{
    char folder[] = "/tmp/simhexXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/dump.hex";
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "old\n", error)) << error;
    // What a writer killed half-way leaves behind goes with the next write;
    // a live writer's temporary (ours) stays.
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    ASSERT_GT(dead, 0);
    ASSERT_EQ(waitpid(dead, nullptr, 0), dead);
    const std::string stale = std::string(folder) + "/.dump.hex." + std::to_string(dead) + "-1.tmp";
    const std::string live = std::string(folder) + "/.dump.hex." + std::to_string(getpid()) + "-999.tmp";
    std::ofstream(stale) << "half";
    std::ofstream(live) << "busy";
    ASSERT_TRUE(WriteFileAtomically(path, "new\n", error)) << error;
    EXPECT_NE(access(stale.c_str(), F_OK), 0);
    EXPECT_EQ(std::remove(live.c_str()), 0);
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "new\n");
    EXPECT_FALSE(WriteFileAtomically(std::string(folder) + "/missing/dump.hex", "x", error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    std::remove(path.c_str());
    rmdir(folder);
}

}  // namespace
