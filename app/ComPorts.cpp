#include "ComPorts.h"
#include "../serial/ComPortMap.h"

bool CSystemComPorts::Probe(int n) { return ProbeComPort(n); }

std::string CSystemComPorts::DeviceFor(int n) { return DeviceForComPort(n); }
