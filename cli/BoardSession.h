#pragma once
#include "CliArgs.h"
#include "HeldLink.h"
#include "Monitor.h"
#include "PortLink.h"

#include <atomic>
#include <functional>

// One board beyond a single run: the reset pulse before each search, the
// monitor after a programmed run, and with --watch a new run each time the
// file changes.
class CBoardSession {
public:
    // One programming run through held; returns its exit status.
    using ProgramOnce = std::function<int()>;

    // Long enough for the usual 100 nF into MCLR.
    static constexpr int kPulseMs = 50;

    // portName names the port in messages.
    CBoardSession(const CliArgs& args, IPortLink& port, CHeldLink& held, std::string portName,
                  const std::atomic<bool>* interrupted);

    // Everything the options ask for; returns the exit status.
    int Run(const ProgramOnce& program);

private:
    // Before anything is sent: false (said on stderr) when the port refuses
    // the monitor's rate.
    bool MonitorRateTaken();
    // The line back at 19200, the reset pulse, then the run.
    int ProgramRound(const ProgramOnce& program);
    void PulseReset();
    // Waits for the file to hold a new program that has settled (unless
    // the monitor found one: changeSeen); false on Ctrl-C.
    bool WaitForSettledChange(bool changeSeen);
    // The monitor until Ctrl-C, a lost line (status 2), a closed standard
    // output or, watching, a new program in the file.
    MonitorEnd Monitor(bool watching);
    bool Interrupted() const { return m_interrupted && *m_interrupted; }

    const CliArgs& m_args;
    IPortLink& m_port;
    CHeldLink& m_held;
    std::string m_portName;
    const std::atomic<bool>* m_interrupted;
    bool m_pulseRefusalSaid = false;
    class CSettledFile* m_watch = nullptr;
};
