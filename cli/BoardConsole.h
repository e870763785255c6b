#pragma once
#include "GangView.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

// What several boards being programmed at once show, shared by their
// threads. On a terminal: a panel of one line per port (status and bar),
// redrawn in place, with lasting lines (a board's result, problems) scrolling
// above it. Otherwise: plain lines, each starting with its port.
class BoardConsole : public IGangView {
public:
    enum class Style { Panel, Lines };

    BoardConsole(std::vector<std::string> ports, Style style, std::FILE* out = stdout, std::FILE* err = stderr);
    BoardConsole(const BoardConsole&) = delete;
    BoardConsole& operator=(const BoardConsole&) = delete;

    Style GetStyle() const { return m_style; }
    const std::string& Port(size_t slot) const { return m_slots[slot].port; }

    void Status(size_t slot, const std::string& text) override;
    void Progress(size_t slot, int percent) override;
    // A line that stays: on out, or on err for a problem.
    void Line(size_t slot, const std::string& text) override;
    void Problem(size_t slot, const std::string& text) override;
    // A line of --trace, on err like a problem: under the same lock, so it
    // never lands inside a redraw of the panel.
    void Trace(size_t slot, const std::string& text) override { Problem(slot, text); }
    // The terminal's bell, with a panel only (a log file wants no bells).
    void Beep(size_t slot) override;
    // "Summary COM5: 3 programmed, 1 failed, 4.2 s per board (exit status 6)",
    // below the panel.
    void Summary(size_t slot, const PortTally& tally) override;
    void Total(const PortTally& tally) override;
    // A line of no port below the panel.
    void Note(const std::string& text);

private:
    struct Slot {
        std::string port;
        std::string status;
        int percent = 0;
        int shownTenth = 0;  // Lines: the last tenth printed
    };

    std::string PanelLine(const Slot& slot) const;
    void ClearPanel();
    void DrawPanel();
    void Lasting(std::FILE* to, const std::string& text);

    std::mutex m_mutex;
    std::vector<Slot> m_slots;
    Style m_style;
    std::FILE* m_out;
    std::FILE* m_err;
    size_t m_nameWidth = 0;
    bool m_panelDrawn = false;
};
