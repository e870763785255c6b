#include "PortList.h"

#include "ComPortMap.h"

#include <cerrno>
#include <cstdio>

std::vector<PortState> SurveyPorts()
{
    std::vector<PortState> ports;
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        PortState state;
        state.n = n;
        state.device = DeviceForComPort(n);
        state.openError = state.device.empty() ? ENOENT : ProbeDevice(state.device);
        ports.push_back(state);
    }
    return ports;
}

namespace {

std::string Availability(const PortState& port)
{
    switch (port.openError) {
    case 0:
        return "can be opened";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "not present";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EBUSY:
    case EWOULDBLOCK:
        return "busy (another program holds it)";
    default:
        return DescribeOpenError(port.openError, port.device);
    }
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
            std::snprintf(line, sizeof line, "COM%-3d %-28s %s\n", port.n, port.device.c_str(),
                          Availability(port).c_str());
        text += line;
    }
    return text;
}

std::string FormatOpenablePorts(const std::vector<PortState>& ports)
{
    std::string text;
    for (const PortState& port : ports) {
        if (port.device.empty() || port.openError != 0)
            continue;
        if (!text.empty())
            text += ", ";
        text += "COM" + std::to_string(port.n) + " (" + port.device + ")";
    }
    return text.empty() ? std::string("no port from COM0 to COM19 can be opened now") : text;
}
