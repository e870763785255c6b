#pragma once
#include "PortResult.h"
#include <string>
#include <windows.h>

// A COM device held open: the port's handle, and a claim (a named object
// that exists while the port is held) that keeps other Fernbow programs
// out where the system itself lets a COM port be opened twice, as Wine does.
struct ComDevice {
    HANDLE port = INVALID_HANDLE_VALUE;
    HANDLE claim = nullptr;

    bool Valid() const { return port != INVALID_HANDLE_VALUE; }
};

// Opens a COM device ("\\.\COMn") the one way CSerialPort::Open and the
// port probe both do: CreateFileA, read and write, not shared (exclusive),
// synchronous. Invalid on failure, with result saying why; a handle that
// is not a character device is closed and refused.
ComDevice OpenComDevice(const std::string& device, PortResult& result);

// Closes the port and lets go of the claim; Other with the system's words
// when the close failed.
PortResult CloseComDevice(ComDevice& device);
