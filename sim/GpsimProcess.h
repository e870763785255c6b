#pragma once
#include "ChipModel.h"
#include "GpsimOutput.h"
#include "UniqueFd.h"
#include <functional>
#include <string>
#include <sys/types.h>

// The descriptors gpsim is given, by their numbers there (the script names
// them).
constexpr int kGpsimLineFd = 3;   // the chip's serial line
constexpr int kGpsimRateFd = 4;   // the host's pseudo-terminal, whose rate the line follows
constexpr int kGpsimEventFd = 5;  // the plug-in's flash events: E a row erased, W a group written

// What gpsim is started with: the program, its processor, the script and
// the firmware it loads, the file its standard input reads once the script
// has run, and our ends of its line, the host's terminal and the events.
struct GpsimStart {
    std::string gpsim;
    std::string processor;
    std::string script;
    std::string firmware;
    std::string input;
    int line = -1;
    int rate = -1;
    int events = -1;
};

// gpsim running the chip model, its output on a pipe. Killed if it still
// runs when the object goes.
class GpsimProcess {
public:
    using Clock = std::function<uint64_t()>;
    GpsimProcess(Clock now, ChipModelLog log) : m_now(std::move(now)), m_log(std::move(log)) {}
    ~GpsimProcess();
    GpsimProcess(const GpsimProcess&) = delete;
    GpsimProcess& operator=(const GpsimProcess&) = delete;

    // From the start of fernbow-sim's chip model: a reset asked for while
    // it is set up is passed on once gpsim runs, and never ends fernbow-sim.
    static void PassOnResetSignal();

    // gpsim starts with the reset signal blocked, until the plug-in can
    // take it.
    bool Start(const GpsimStart& start, std::string& error);
    int OutputFd() const { return m_output.Get(); }
    // Reads what gpsim printed; false when its output has ended.
    bool ReadOutput();
    const GpsimOutput& Output() const { return m_lines; }
    // Once the line closed: waits for gpsim's script to dump and quit,
    // reading its last output; kills it if it does not.
    void WaitForQuit();

private:
    void Stop();

    Clock m_now;
    ChipModelLog m_log;
    pid_t m_pid = -1;
    UniqueFd m_output;
    GpsimOutput m_lines;
};
