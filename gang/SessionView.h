#pragma once
#include "Monitor.h"
#include "PortLink.h"

#include <string>

// What one board's session has to say beside its runs: a front end shows it
// (the CLI on stderr).
class SessionView {
public:
    virtual ~SessionView() = default;
    // The port does not take the monitor's rate; nothing is run.
    virtual void MonitorRateRefused(int baud) = 0;
    // The port cannot pulse line; said once, the search goes on without it.
    virtual void PulseRefused(ModemLine line) = 0;
    // Waiting for file to hold a new program.
    virtual void Watching(const std::string& file) = 0;
    // file holds a new program that has settled: it is programmed again.
    virtual void FileChanged(const std::string& file) = 0;
    virtual void MonitorStarted(int baud, bool watching) = 0;
    virtual void MonitorEnded(MonitorEnd end) = 0;
};
