#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

// Standard input and output while the monitor runs. A terminal (a console
// on Windows) is put in raw mode, so keys go to the board as typed, and it
// is given back as it was when the object goes, whichever way the monitor
// ended, and also when a signal ends the program at once (a second Ctrl-C,
// SIGTERM or SIGHUP, or a SIGQUIT). One at a time; one implementation per
// platform.
class MonitorTerminal {
public:
    // A write that waits for a reader gives up once *interrupted is set.
    explicit MonitorTerminal(const std::atomic<bool>* interrupted);
    ~MonitorTerminal();
    MonitorTerminal(const MonitorTerminal&) = delete;
    MonitorTerminal& operator=(const MonitorTerminal&) = delete;

    // true when standard input is a terminal in raw mode: Ctrl-C then comes
    // as the byte 0x03 rather than as a signal.
    bool RawKeys() const;
    // Up to count bytes typed or piped so far, without waiting: 0 when there
    // are none, -1 once standard input has ended.
    int ReadInput(uint8_t* buffer, size_t count);

    enum class Write {
        Done,
        Interrupted,  // Ctrl-C while the write waited for a reader: not tried again
        Closed,       // standard output has closed or failed (the reader went away)
    };
    // Writes the bytes as they are and flushes them. A Ctrl-C ends a write
    // that waits: the flag, a signal, or (POSIX, raw keys) the key itself;
    // other keys typed meanwhile are kept for ReadInput.
    Write WriteOutput(const uint8_t* data, size_t count);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
