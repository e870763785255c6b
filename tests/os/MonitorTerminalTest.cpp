// The monitor's writes to standard output, here a pipe: a reader that takes
// nothing cannot hold Ctrl-C, and one that went away ends the monitor.
#include "MonitorTerminal.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <chrono>
#include <csignal>
#include <pty.h>
#include <thread>
#include <unistd.h>
#include <utility>

TEST(MonitorTerminal, AWriteNobodyTakesGivesUp)
{
    using Write = MonitorTerminal::Write;
    std::signal(SIGPIPE, SIG_IGN);  // as fernbow-cli does: a closed pipe is EPIPE
    const struct {
        const char* reader;
        bool closed;     // the reader has gone away
        bool ctrlC;      // Ctrl-C 100 ms into the writes: the signal's flag, or
        bool typed;      // the key, typed on a terminal in raw mode
        Write end;
    } rows[] = {
        {"takes nothing, then Ctrl-C", false, true, false, Write::Interrupted},
        {"takes nothing, then Ctrl-C typed", false, false, true, Write::Interrupted},
        {"went away", true, false, false, Write::Closed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reader);
        int pipe[2], keys = -1, terminal = -1;
        ASSERT_EQ(::pipe(pipe), 0);
        const int savedStdout = ::dup(STDOUT_FILENO), savedStdin = ::dup(STDIN_FILENO);
        ::dup2(pipe[1], STDOUT_FILENO);
        ::close(pipe[1]);
        if (row.closed)
            ::close(std::exchange(pipe[0], -1));
        if (row.typed && ::openpty(&keys, &terminal, nullptr, nullptr, nullptr) == 0)
            ::dup2(terminal, STDIN_FILENO);
        std::atomic<bool> interrupted{false};
        std::thread ctrlC([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            interrupted = row.ctrlC;
            EXPECT_TRUE(!row.typed || ::write(keys, "\x03", 1) == 1);
        });
        Write end = Write::Done;
        {
            MonitorTerminal monitor(&interrupted);
            const uint8_t byte = 'x';
            // Far more than a pipe holds, a byte at a time as the monitor writes.
            for (int i = 0; i < (1 << 21) && end == Write::Done; ++i)
                end = monitor.WriteOutput(&byte, 1);
        }
        ctrlC.join();
        ::dup2(savedStdout, STDOUT_FILENO);
        ::dup2(savedStdin, STDIN_FILENO);
        for (int fd : {savedStdout, savedStdin, pipe[0], keys, terminal})
            ::close(fd);
        EXPECT_EQ(end, row.end);  // and not hung
    }
}
#endif
