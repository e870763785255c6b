// Opening HEX files the POSIX way: what is refused before a byte is read.
#include "EngineFixture.h"
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(EngineLoaderFailure, FilesThatCannotBeOpenedOrRead)
{
    EngineRig rig;
    EXPECT_EQ(rig.writer.OpenHexFile(""), 0);
    EXPECT_EQ(rig.writer.OpenHexFile("/nonexistent/prog.hex"), 0);
    // Only a regular file is taken: a folder, a device that never ends and
    // a FIFO without a writer (which would hold open() forever) are refused
    // at once, with a reason.
    for (const char* path : {"/", "/dev/zero"}) {
        EXPECT_EQ(rig.writer.OpenHexFile(path), 0) << path;
        EXPECT_EQ(rig.writer.HexFileError(), "not a regular file") << path;
    }
    char fifo[] = "/tmp/hexfifoXXXXXX";
    ASSERT_NE(mkdtemp(fifo), nullptr);
    const std::string fifoPath = std::string(fifo) + "/prog.hex";
    ASSERT_EQ(mkfifo(fifoPath.c_str(), 0600), 0);
    EXPECT_EQ(rig.writer.OpenHexFile(fifoPath), 0);
    EXPECT_EQ(rig.writer.HexFileError(), "not a regular file");
    unlink(fifoPath.c_str());
    // A file past the size bound (sparse: it costs no disk).
    const std::string big = std::string(fifo) + "/big.hex";
    std::ofstream(big).close();
    ASSERT_EQ(truncate(big.c_str(), CHexFile::kMaxHexFileBytes + 1), 0);
    EXPECT_EQ(rig.writer.OpenHexFile(big), 0);
    EXPECT_EQ(rig.writer.HexFileError(), "larger than 64 MiB");
    unlink(big.c_str());
    rmdir(fifo);
    EXPECT_TRUE(rig.link.writes.empty());
}

}  // namespace
