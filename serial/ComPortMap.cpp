#include "ComPortMap.h"

// The same on every platform: the port's device, probed as Open opens it.
bool ProbeComPort(int n)
{
    const std::string device = DeviceForComPort(n);
    return !device.empty() && ProbeDevice(device).Ok();
}
