#include "ComPorts.h"
#include "ComPortMap.h"

bool SystemComPorts::Probe(int n) { return ProbeComPort(n); }

std::string SystemComPorts::DeviceFor(int n) { return DeviceForComPort(n); }
