#include "BoardConsole.h"
#include "CapturedFile.h"
#include "RunLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

// On a terminal every change redraws the panel in place: up as many rows as
// there are ports, each row cleared and drawn. A lasting line clears the
// panel, is printed, and the panel follows below it.
TEST(CliBoardConsole, PanelRedrawsInPlaceAndKeepsLastingLinesAbove)
{
    CapturedFile out, err;
    BoardConsole console({"COM5", "/dev/ttyUSB2"}, BoardConsole::Style::Panel, out.Get(), err.Get());
    console.Status(0, "Searching PIC!");
    console.Progress(1, 50);
    console.Line(0, "board 1: PIC16F88, programmed, 6.7 s");
    const std::string row0 = "\r\x1b[2KCOM5         [....................]   0%  Searching PIC!\n";
    const std::string row1 = "\r\x1b[2K/dev/ttyUSB2 [....................]   0%  \n";
    const std::string row1Half = "\r\x1b[2K/dev/ttyUSB2 [##########..........]  50%  \n";
    EXPECT_EQ(out.Text(), row0 + row1 + "\x1b[2A" + row0 + row1Half + "\x1b[2A\r\x1b[J" +
                              "COM5: board 1: PIC16F88, programmed, 6.7 s\n" + row0 + row1Half);
    EXPECT_EQ(err.Text(), "");
}

TEST(CliBoardConsole, LinesNamePortsAndProgressByTenths)
{
    CapturedFile out, err;
    BoardConsole console({"COM5", "COM6"}, BoardConsole::Style::Lines, out.Get(), err.Get());
    console.Status(1, "Searching PIC!");
    console.Status(1, "Searching PIC!");
    for (int percent : {0, 4, 12, 19, 25, 100}) console.Progress(0, percent);
    console.Problem(1, "Timeout!");
    EXPECT_EQ(out.Text(), "COM6: Searching PIC!\nCOM5: Progress 10%\nCOM5: Progress 20%\nCOM5: Progress 100%\n");
    EXPECT_EQ(err.Text(), "COM6: Timeout!\n");
}

TEST(CliRunLog, FieldsAreQuotedOnlyWhenTheyMustBe)
{
    EXPECT_EQ(CsvField("COM5"), "COM5");
    EXPECT_EQ(CsvField("fw, v1.hex"), "\"fw, v1.hex\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
}

// The header is written once, by whoever finds the file empty: also a log
// made empty beforehand, and not again by a second writer.
TEST(CliRunLog, HeaderOnceForEveryWriterOfOneLog)
{
    const std::string path = testing::TempDir() + "fernbow-runlog-test.csv";
    std::fclose(std::fopen(path.c_str(), "wb"));
    {
        std::string error;
        RunLog first, second;
        ASSERT_TRUE(first.Open(path, "a.hex", "00", error) && second.Open(path, "a.hex", "00", error)) << error;
        ASSERT_TRUE(first.Append(RunLogEntry(), error) && second.Append(RunLogEntry(), error)) << error;
    }
    char text[1024] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_GT(std::fread(text, 1, sizeof text - 1, f), 0u);
    std::fclose(f);
    std::remove(path.c_str());
    EXPECT_EQ(std::string(text).substr(0, std::strlen(RunLog::kHeader)), RunLog::kHeader);
    EXPECT_EQ(std::strstr(text + 1, "utc_time"), nullptr) << text;
    EXPECT_EQ(std::count(text, text + std::strlen(text), '\n'), 3) << text;
}

#ifndef _WIN32
// A log that another process keeps locked is waited for, a bounded time and
// not past Ctrl-C, and then the holder is named (a second open file counts
// as another process for the lock).
TEST(CliRunLog, ALockHeldElsewhereIsWaitedForThenNamed)
{
    const std::string path = testing::TempDir() + "fernbow-runlog-locked.csv";
    const int holder = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    std::atomic<bool> interrupted{false};
    AppendFile log;
    std::string error;
    EXPECT_FALSE(log.Open(path, "header\n", error, &interrupted, 300));
    EXPECT_NE(error.find("(pid " + std::to_string(::getpid())), std::string::npos) << error;
    EXPECT_NE(error.find("holds a lock on it, and still did after 0.3 s"), std::string::npos) << error;
    interrupted = true;  // Ctrl-C: the long wait ends at once
    EXPECT_FALSE(log.Open(path, "header\n", error, &interrupted, 600000));
    EXPECT_NE(error.find("interrupted while waiting"), std::string::npos) << error;
    ::close(holder);
    std::remove(path.c_str());
}
#endif
