#pragma once
#include <string>

// Port numbers shown to the user (COM0..COM19) and the devices behind them.
constexpr int kFirstComPort = 0;
constexpr int kLastComPort = 19;

// The device that COMn stands for on this platform ("\\.\COMn" on Windows;
// on POSIX a symlink COMn in the Ports folder wins, else a fixed table).
// Empty when n has no device.
std::string DeviceForComPort(int n);
// Folder of user-defined COMn links (POSIX): <config>/Corvane/Fernbow/Ports.
std::string ComPortLinkFolder();
// true when the device exists and can be opened exclusively right now; the
// probe opens it with the same flags as CSerialPort::Open and closes it again.
bool ProbeComPort(int n);
// Same probe for a device path: 0 when it opened, else the OS error.
int ProbeDevice(const std::string& device);
// A short readable reason for an OS error from Open ("permission denied ...").
// With the device path the text says what to do about it (the group to join).
std::string DescribeOpenError(int osError, const std::string& device = std::string());
