// The monitor's writes to standard output, here a pipe: a reader that takes
// nothing cannot hold Ctrl-C, and one that went away ends the monitor.
#include "MonitorTerminal.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

TEST(MonitorTerminal, AWriteNobodyTakesGivesUp)
{
    std::signal(SIGPIPE, SIG_IGN);  // as fernbow-cli does: a closed pipe is EPIPE
    const struct {
        const char* reader;
        bool closed;     // the reader has gone away
        bool ctrlC;      // Ctrl-C 100 ms into the writes
        bool written;    // what WriteOutput says at last
    } rows[] = {
        {"takes nothing, then Ctrl-C", false, true, false},
        {"went away", true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reader);
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        const int savedStdout = ::dup(STDOUT_FILENO);
        ::dup2(pipe[1], STDOUT_FILENO);
        ::close(pipe[1]);
        if (row.closed)
            ::close(pipe[0]);
        std::atomic<bool> interrupted{false};
        std::thread ctrlC([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            interrupted = row.ctrlC;
        });
        bool written = true;
        const auto start = std::chrono::steady_clock::now();
        {
            CMonitorTerminal terminal(&interrupted);
            const uint8_t byte = 'x';
            // Far more than a pipe holds, a byte at a time as the monitor writes.
            for (int i = 0; i < (1 << 21) && written; ++i)
                written = terminal.WriteOutput(&byte, 1);
        }
        ctrlC.join();
        ::dup2(savedStdout, STDOUT_FILENO);
        ::close(savedStdout);
        if (!row.closed)
            ::close(pipe[0]);
        EXPECT_EQ(written, row.written);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "the write was not given up";
    }
}
#endif
