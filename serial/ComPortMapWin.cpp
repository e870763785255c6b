#include "ComPortMap.h"
#include "ComPortMapPlatform.h"

#include "SerialDeviceWin.h"
#include "Utf16Win.h"

#include <vector>

std::string DeviceForComPort(int n)
{
    if (n < 0)
        return std::string();
    return "\\\\.\\COM" + std::to_string(n);
}

std::string ComPortLinkFolder()
{
    return std::string();  // COMn is the system's own name here
}

// HARDWARE\DEVICEMAP\SERIALCOMM holds one value a port: its name is the
// driver's device (\Device\Serial0, \Device\VCP0), its data "COMn".
std::string ComPortHardware(int n)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::string();
    const std::wstring wanted = L"COM" + std::to_wstring(n);
    std::string found;
    for (DWORD index = 0; found.empty(); ++index) {
        wchar_t name[256];
        DWORD nameLength = sizeof name / sizeof name[0];
        wchar_t data[64] = {};
        DWORD dataSize = sizeof data - sizeof data[0];  // room for a terminating zero
        DWORD type = 0;
        const LONG status = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || type != REG_SZ)
            continue;
        if (_wcsicmp(data, wanted.c_str()) == 0)
            found = WideToUtf8(std::wstring(name, nameLength));
    }
    ::RegCloseKey(key);
    return found;
}

void OpenAndCloseDevice(const std::string& device, PortResult& result)
{
    ComDevice opened = OpenComDevice(device, result);
    CloseComDevice(opened);
}

std::string OpenFailureText(PortStatus status, const std::string& name, const std::string&)
{
    switch (status) {
    case PortStatus::Missing:
        return "no such port: " + name + " (is the adapter plugged in? Device Manager lists the COM ports)";
    case PortStatus::Busy:
    case PortStatus::AccessDenied:
        // Windows answers "access denied" for a port that is already open.
        return name + " is in use: another program holds the port (a terminal, another flasher, "
                      "the IDE); close it and try again";
    case PortStatus::NotSerial:
        return name + " is not a serial port";
    default:
        return std::string();  // the system's words stand
    }
}

std::string PortMappingNote()
{
    return "COMn is the Windows port of that number; Device Manager shows which adapter it is.";
}

std::string NoDeviceHint(const std::string& portName)
{
    return portName + " is not a port number Windows knows; give --port COMn with n from 0 to 255";
}
