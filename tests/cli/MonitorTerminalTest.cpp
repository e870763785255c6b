// The monitor's writes to standard output, here a pipe: a reader that takes
// nothing cannot hold Ctrl-C, and one that went away ends the monitor.
#include "MonitorTerminal.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>
#include <utility>

TEST(MonitorTerminal, AWriteNobodyTakesGivesUp)
{
    std::signal(SIGPIPE, SIG_IGN);  // as fernbow-cli does: a closed pipe is EPIPE
    const struct {
        const char* reader;
        bool closed;     // the reader has gone away
        bool ctrlC;      // Ctrl-C 100 ms into the writes
    } rows[] = {
        {"takes nothing, then Ctrl-C", false, true},
        {"went away", true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reader);
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        const int savedStdout = ::dup(STDOUT_FILENO);
        ::dup2(pipe[1], STDOUT_FILENO);
        ::close(pipe[1]);
        if (row.closed)
            ::close(std::exchange(pipe[0], -1));
        std::atomic<bool> interrupted{false};
        std::thread ctrlC([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            interrupted = row.ctrlC;
        });
        bool written = true;
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
        ::close(pipe[0]);
        EXPECT_FALSE(written);  // and not hung
    }
}
#endif
