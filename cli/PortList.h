#pragma once
#include <string>
#include <vector>

// One of COM0..COM19 as it is right now.
struct PortState {
    int n = 0;
    std::string device;  // empty: the number has no device
    int openError = 0;   // 0: it can be opened now
};

// Probes COM0..COM19 the way the port is opened (exclusively) and lets go.
std::vector<PortState> SurveyPorts();
// The table of --list.
std::string FormatPortTable(const std::vector<PortState>& ports);
// "COM5 (/dev/ttyUSB0), COM13 (/dev/ttyACM0)", or a sentence saying there is none.
std::string FormatOpenablePorts(const std::vector<PortState>& ports);
