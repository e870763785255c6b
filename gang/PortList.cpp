#include "PortList.h"

#include "ComPortMap.h"

#include <cstdio>

std::vector<PortState> SurveyPorts()
{
    std::vector<PortState> ports;
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        PortState state;
        state.n = n;
        state.device = DeviceForComPort(n);
        state.hardware = ComPortHardware(n);
        if (state.device.empty())
            state.open.status = PortStatus::Missing;
        else
            state.open = ProbeDevice(state.device);
        ports.push_back(state);
    }
    return ports;
}

namespace {

std::string Availability(const PortState& port)
{
    switch (port.open.status) {
    case PortStatus::Ok:
        return "can be opened";
    case PortStatus::Missing:
        return "not present";
    case PortStatus::AccessDenied:
        return "access denied";
    case PortStatus::Busy:
        return "busy (another program holds it)";
    case PortStatus::NotSerial:
    case PortStatus::Timeout:
    case PortStatus::Refused:
    case PortStatus::Unsupported:
    case PortStatus::Lost:
    case PortStatus::Other:
        break;
    }
    return DescribeOpenError(port.open, port.device);
}

// The device path, and the hardware behind it where the system names one.
std::string Where(const PortState& port)
{
    return port.hardware.empty() ? port.device : port.device + " = " + port.hardware;
}

} // namespace

std::string FormatPortTable(const std::vector<PortState>& ports)
{
    std::string text;
    char line[512];
    for (const PortState& port : ports) {
        if (port.device.empty())
            std::snprintf(line, sizeof line, "COM%-3d (no device)\n", port.n);
        else
            std::snprintf(line, sizeof line, "COM%-3d %-28s %s\n", port.n, Where(port).c_str(),
                          Availability(port).c_str());
        text += line;
    }
    return text;
}

std::string FormatPresentPorts(const std::vector<PortState>& ports)
{
    std::string text;
    for (const PortState& port : ports) {
        if (port.device.empty() || port.open.status == PortStatus::Missing)
            continue;
        if (!text.empty())
            text += ", ";
        text += ComPortName(port.n) + " (" + Where(port);
        if (!port.open.Ok())
            text += ", " + Availability(port);
        text += ")";
    }
    return text.empty() ? std::string("there is no port from COM0 to COM19") : text;
}
