#pragma once
#include "BoardConsole.h"
#include "CliHost.h"
#include "LineWatch.h"

// The host of one board's run in a bench run: the ticks, the wait and Ctrl-C
// as for a single run, but what it shows goes to the port's slot of the
// shared console, and a line that has gone away ends the run.
class CBoardHost : public CCliHost {
public:
    // quietSearch: show nothing but "Searching PIC!" until a chip is found,
    // so that a board still running its own program (answering a wake-up
    // with bytes of its own) reads as "no board yet".
    CBoardHost(Options options, CBoardConsole& console, size_t slot, const CLineWatch& line, bool quietSearch);

    bool PumpMessages() override;

    bool LineLost() const { return m_bLineLost; }
    // Milliseconds since the start when the chip was identified; -1 if never.
    int64_t ChipFoundMs() const { return m_nChipFoundMs; }

protected:
    void ShowStatus(const std::string& text) override;
    void ShowProgress(int percent) override;
    void PrintLine(std::FILE* to, const std::string& text) override;

private:
    std::FILE* m_err;
    CBoardConsole& m_console;
    size_t m_slot;
    const CLineWatch& m_line;
    bool m_bQuietSearch;
    bool m_bLineLost = false;
    int64_t m_nChipFoundMs = -1;
};
