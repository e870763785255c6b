#pragma once
#include "PortResult.h"
#include <string>
#include <vector>

// One of COM0..COM19 as it is right now.
struct PortState {
    int n = 0;
    std::string device;    // empty: the number has no device
    std::string hardware;  // what the system says stands behind it; may be empty
    PortResult open;   // Ok(): it can be opened now
};

// Probes COM0..COM19 the way the port is opened (exclusively) and lets go.
std::vector<PortState> SurveyPorts();
// The table of --list.
std::string FormatPortTable(const std::vector<PortState>& ports);
// The ports that exist, free or held: "COM5 (/dev/ttyUSB0), COM13
// (/dev/ttyACM0, busy)", or a sentence saying there is none.
std::string FormatPresentPorts(const std::vector<PortState>& ports);
