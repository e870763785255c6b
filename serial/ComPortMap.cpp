#include "ComPortMap.h"

#include "ComPortMapPlatform.h"

#include <cctype>

// The same on every platform: the port's device, probed as Open opens it.
bool ProbeComPort(int n)
{
    const std::string device = DeviceForComPort(n);
    return !device.empty() && ProbeDevice(device).Ok();
}

PortResult ProbeDevice(const std::string& device)
{
    PortResult result;
    OpenAndCloseDevice(device, result);
    return result;
}

std::string DescribeOpenError(const PortResult& result, const std::string& device)
{
    if (result.Ok())
        return "no error";
    const std::string name = device.empty() ? std::string("the port") : device;
    const std::string text = OpenFailureText(result.status, name, device);
    return text.empty() ? name + ": " + result.osText : text;
}

std::string ComPortName(int n)
{
    return "COM" + std::to_string(n);
}

bool ParseComPortName(const std::string& text, int& n)
{
    // Windows' own device name of the port, \\.\COMn, names it too.
    const std::string devicePrefix = "\\\\.\\";
    std::string name = text.compare(0, devicePrefix.size(), devicePrefix) == 0 ? text.substr(devicePrefix.size()) : text;
    const bool com = name.size() >= 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
                     std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
                     std::toupper(static_cast<unsigned char>(name[2])) == 'M';
    const std::string digits = com ? name.substr(3) : name;
    if (digits.empty() || digits.size() > 6)
        return false;
    long value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 10 + (c - '0');
    }
    n = static_cast<int>(value);
    return true;
}
