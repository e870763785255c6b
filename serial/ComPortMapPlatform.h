#pragma once
#include "PortResult.h"
#include <string>

// What each platform's ComPortMap file gives the shared one
// (ComPortMap.cpp).

// Opens the device as CSerialPort::Open does and closes it again; result
// says how the open went.
void OpenAndCloseDevice(const std::string& device, PortResult& result);

// This platform's words for a failed open, with what to do about it; name
// is how the text calls the port, device its path (maybe empty). Empty for
// a failure the platform has no words for: the system's own then stand.
std::string OpenFailureText(PortStatus status, const std::string& name, const std::string& device);
