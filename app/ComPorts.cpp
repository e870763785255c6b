#include "ComPorts.h"
#include "ComPortMap.h"

bool CSystemComPorts::Probe(int n) { return ProbeComPort(n); }

std::string CSystemComPorts::DeviceFor(int n) { return DeviceForComPort(n); }
