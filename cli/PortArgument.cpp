#include "PortArgument.h"

#include "ComPortMap.h"
#include "NetworkAddress.h"

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
    if (ParseComPortName(text, n)) {
        result.ok = true;
        result.comPort = n;
        return result;
    }
    result.error = "invalid port \"" + text +
                   "\": give COMn, a number n, or a device path such as /dev/ttyUSB0";
    return result;
}
