#pragma once
#include "HeldLink.h"
#include "Monitor.h"
#include "PortLink.h"
#include "RunStatus.h"
#include "SessionView.h"

#include <atomic>
#include <functional>
#include <string>

// One board beyond a single run: the reset pulse before each search, the
// monitor after a programmed run, and with watch a new run each time the
// file changes.
class BoardSession {
public:
    // One programming run through held; how it ended.
    using ProgramOnce = std::function<BoardEnd()>;

    // Long enough for the usual 100 nF into MCLR.
    static constexpr int kPulseMs = 50;

    struct Options {
        int monitorBaud = 0;  // the monitor's rate after a programmed run; 0: no monitor
        bool watch = false;   // program again whenever hexFile changes
        std::string hexFile;
        int settleMs = 300;   // how long a changed file must stay the same before it is taken
        bool reset = false;   // pulse resetLine before each search
        ModemLine resetLine = ModemLine::Dtr;
    };

    BoardSession(const Options& options, IPortLink& port, HeldLink& held, SessionView& view,
                 const std::atomic<bool>* interrupted);

    // Everything the options ask for.
    SessionEnd Run(const ProgramOnce& program);

private:
    // Before anything is sent: false (said through the view) when the port
    // refuses the monitor's rate.
    bool MonitorRateTaken();
    // The line back at 19200, the reset pulse, then the run.
    BoardEnd ProgramRound(const ProgramOnce& program);
    void PulseReset();
    // Waits for the file to hold a new program that has settled (unless
    // the monitor found one: changeSeen); false on Ctrl-C.
    bool WaitForSettledChange(bool changeSeen);
    // The monitor until Ctrl-C, a lost line, a closed standard output or,
    // watching, a new program in the file.
    MonitorEnd Monitor(bool watching);
    bool Interrupted() const { return m_interrupted && *m_interrupted; }

    const Options m_args;
    IPortLink& m_port;
    HeldLink& m_held;
    SessionView& m_view;
    const std::atomic<bool>* m_interrupted;
    bool m_pulseRefusalSaid = false;
    class SettledFile* m_watch = nullptr;
};
