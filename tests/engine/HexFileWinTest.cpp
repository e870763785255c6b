// Opening HEX files the Windows way: wide-character names, and what is
// refused before a byte is read.
#include "EngineFixture.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

TEST(EngineHexFileWin, AnyNameOpensWhatIsNotAFileIsRefused)
{
    const fs::path folder = fs::temp_directory_path() / fs::u8path("Pr\xC3\xBC" "fung-" +
                                                                   std::to_string(::GetCurrentProcessId()));
    fs::create_directory(folder);
    const fs::path hex = folder / fs::u8path("\xCF\x80.hex");  // "π.hex"
    std::ofstream(hex, std::ios::binary) << IntelHexRecord(0, {1, 2, 3, 4}) << IntelHexEndRecord();

    EngineRig rig;
    ASSERT_EQ(rig.writer.OpenHexFile(hex.u8string()), 1) << rig.writer.HexFileError();
    rig.writer.LoadHexAndProgram();
    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);

    EXPECT_EQ(rig.writer.OpenHexFile((folder / "missing.hex").u8string()), 0);
    EXPECT_FALSE(rig.writer.HexFileError().empty());
    for (const std::string& path : {folder.u8string(), std::string("NUL")}) {
        EXPECT_EQ(rig.writer.OpenHexFile(path), 0) << path;
        EXPECT_EQ(rig.writer.HexFileError(), "not a regular file") << path;
    }
    const fs::path big = folder / "big.hex";
    std::ofstream(big).close();
    fs::resize_file(big, CHexFile::kMaxHexFileBytes + 1);
    EXPECT_EQ(rig.writer.OpenHexFile(big.u8string()), 0);
    EXPECT_EQ(rig.writer.HexFileError(), "larger than 64 MiB");

    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

}  // namespace
