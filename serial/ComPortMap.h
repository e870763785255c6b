#pragma once
#include "PortResult.h"
#include <string>

// Port numbers shown to the user (COM0..COM19) and the devices behind them.
constexpr int kFirstComPort = 0;
constexpr int kLastComPort = 19;

// "COMn": how a port number is shown, in lists, item texts and messages.
std::string ComPortName(int n);
// The n of a port name: "COM3", "com3", "3" and Windows' own device name
// \\.\COM3 give 3 (at most six digits). false for anything else.
bool ParseComPortName(const std::string& text, int& n);

// The device that COMn stands for on this platform ("\\.\COMn" on Windows;
// on POSIX a symlink COMn in the Ports folder wins, else a fixed table).
// Empty when n has no device.
std::string DeviceForComPort(int n);
// Folder of user-defined COMn links (POSIX): <config>/Corvane/Fernbow/Ports.
// Empty where ports are not linked (Windows).
std::string ComPortLinkFolder();
// What the system says stands behind COMn (Windows: the driver's device from
// HARDWARE\DEVICEMAP\SERIALCOMM, such as \Device\VCP0); empty when it says
// nothing or the platform keeps no such list.
std::string ComPortHardware(int n);
// true when the device exists and can be opened exclusively right now; the
// probe opens it with the same flags as CSerialPort::Open and closes it again.
bool ProbeComPort(int n);
// Same probe for a device path.
PortResult ProbeDevice(const std::string& device);
// A short readable reason why Open failed ("permission denied ..."). With
// the device path the text says what to do about it on this platform (the
// group to join, the program to close).
std::string DescribeOpenError(const PortResult& result, const std::string& device = std::string());
// The line under a list of ports: how a port number finds its device here.
std::string PortMappingNote();
// What to do when COMn (portName) has no device at all ("link one as ...").
std::string NoDeviceHint(const std::string& portName);
