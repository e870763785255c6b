#pragma once
#include "PortOpenResult.h"
#include <string>
#include <windows.h>

// Opens a COM device ("\\.\COMn") the one way CSerialPort::Open and the
// port probe both do: CreateFileA, read and write, not shared (exclusive),
// synchronous. INVALID_HANDLE_VALUE on failure, with result saying why;
// a handle that is not a character device is closed and refused.
HANDLE OpenComDevice(const std::string& device, PortOpenResult& result);
