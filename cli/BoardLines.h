#pragma once
#include "GangView.h"

#include <cstdint>
#include <cstdio>
#include <string>

// What one board's run shows on a terminal or in a script (a gang of one
// port): statuses on out, each once while it stays the same, a progress bar
// (or a line per tenth off a terminal), problems and the trace on err.
class BoardLines : public IGangView {
public:
    // terminal: draw a bar and beep.
    BoardLines(bool terminal, std::FILE* out = stdout, std::FILE* err = stderr);

    void Status(size_t slot, const std::string& text) override;
    void Progress(size_t slot, int percent) override;
    void Line(size_t, const std::string& text) override { PrintLine(m_out, text); }
    void Problem(size_t, const std::string& text) override { PrintLine(m_err, text); }
    void Trace(size_t, const std::string& text) override { PrintLine(m_err, text); }
    void Beep(size_t) override;
    // One board has no tally to show: its run says how it went.
    void Summary(size_t, const PortTally&) override {}
    void Total(const PortTally&) override {}

    // Ends a progress bar line so that the next text starts on a line of its own.
    void EndLine();

private:
    // Ends a progress bar line first, so the text has a line of its own.
    void PrintLine(std::FILE* to, const std::string& text);

    bool m_terminal;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_haveStatus = false;
    std::string m_lastStatus;
    int m_shownPercent = -1;
    bool m_barOnLine = false;
};

// "Sent 4352 bytes in 12.3 s (354 bytes/s)".
std::string SentSummary(int32_t bytesSent, int64_t elapsedMs);
