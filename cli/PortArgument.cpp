#include "PortArgument.h"

#include "NetworkAddress.h"

#include <cctype>
#include <climits>

namespace {

bool ParsePortNumber(const std::string& digits, int& n)
{
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

bool StartsWithCom(const std::string& text)
{
    return text.size() >= 3 && std::toupper(static_cast<unsigned char>(text[0])) == 'C' &&
           std::toupper(static_cast<unsigned char>(text[1])) == 'O' &&
           std::toupper(static_cast<unsigned char>(text[2])) == 'M';
}

} // namespace

PortArgument ParsePortArgument(const std::string& text)
{
    PortArgument result;
    NetworkAddress network;
    if (IsNetworkAddress(text) && !ParseNetworkAddress(text, network, result.error))
        return result;
    if (text.find('/') != std::string::npos) {
        result.ok = true;
        result.device = text;
        return result;
    }
    int n = 0;
    // Windows' own device name of the port, \\.\COMn, names it too.
    const std::string kDevicePrefix = "\\\\.\\";
    const std::string name = text.compare(0, kDevicePrefix.size(), kDevicePrefix) == 0 ? text.substr(kDevicePrefix.size())
                                                                                     : text;
    std::string digits = StartsWithCom(name) ? name.substr(3) : name;
    if (ParsePortNumber(digits, n)) {
        result.ok = true;
        result.comPort = n;
        return result;
    }
    result.error = "invalid port \"" + text +
                   "\": give COMn, a number n, or a device path such as /dev/ttyUSB0";
    return result;
}
