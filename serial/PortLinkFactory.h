#pragma once
#include "PortLink.h"
#include "SerialPort.h"

#include <memory>

// The link a port name stands for: a network port when the settings' device
// is tcp://... or rfc2217://..., otherwise the serial port. settings must
// outlive the link.
std::unique_ptr<IPortLink> MakePortLink(CLineSettings& settings);
