#include "ComPortMap.h"
#include "ComPortMapPlatform.h"

#include "SerialDevicePosix.h"
#include "ConfigHome.h"

#include <filesystem>
#include <grp.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

// Without a link in the Ports folder the numbers follow a fixed table, so
// that the common adapters get stable numbers:
//   COM0          no device (only a link gives it one)
//   COM1..COM4    /dev/ttyS0..3    on-board UARTs
//   COM5..COM12   /dev/ttyUSB0..7  USB adapters (FTDI, CH340, CP210x, PL2303)
//   COM13..COM19  /dev/ttyACM0..6  USB CDC-ACM boards
// Numbers above 19 have a device only through a link.
namespace {

std::string TableDevice(int n)
{
    if (n >= 1 && n <= 4)
        return "/dev/ttyS" + std::to_string(n - 1);
    if (n >= 5 && n <= 12)
        return "/dev/ttyUSB" + std::to_string(n - 5);
    if (n >= 13 && n <= 19)
        return "/dev/ttyACM" + std::to_string(n - 13);
    return std::string();
}

// The target of the link COMn, made absolute; empty when there is no link.
std::string LinkedDevice(int n)
{
    const std::string folder = ComPortLinkFolder();
    if (folder.empty())
        return std::string();
    std::error_code ec;
    fs::path link = fs::path(folder) / ("COM" + std::to_string(n));
    if (!fs::is_symlink(fs::symlink_status(link, ec)))
        return std::string();
    fs::path target = fs::read_symlink(link, ec);
    if (ec || target.empty())
        return std::string();
    if (target.is_relative())
        target = link.parent_path() / target;
    return target.lexically_normal().string();
}

// The group through which a user gets read and write access to device
// (typically "dialout"); empty when membership would not help.
std::string GroupGrantingAccess(const std::string& device)
{
    struct stat st {};
    if (device.empty() || ::stat(device.c_str(), &st) != 0)
        return std::string();
    if (st.st_gid == 0 || (st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return std::string();
    const group* gr = ::getgrgid(st.st_gid);
    return gr && gr->gr_name ? std::string(gr->gr_name) : std::string();
}

} // namespace

std::string ComPortLinkFolder()
{
    std::string root = FernbowConfigFolder();
    return root.empty() ? std::string() : root + "/Ports";
}

std::string DeviceForComPort(int n)
{
    if (n < 0)
        return std::string();
    std::string linked = LinkedDevice(n);
    return linked.empty() ? TableDevice(n) : linked;
}

std::string ComPortHardware(int)
{
    return std::string();  // the device path says it all
}

void OpenAndCloseDevice(const std::string& device, PortResult& result)
{
    OpenSerialDeviceExclusive(device, result);  // closed as the descriptor goes
}

std::string OpenFailureText(PortStatus status, const std::string& name, const std::string& device)
{
    switch (status) {
    case PortStatus::AccessDenied: {
        std::string group = GroupGrantingAccess(device);
        if (group.empty())
            return "permission denied on " + name +
                   ": ask the administrator for read and write access to it";
        return "permission denied on " + name + ": join the group \"" + group +
               "\" that owns it (sudo usermod -aG " + group +
               " \"$USER\", then log out and in again)";
    }
    case PortStatus::Busy:
        return name + " is busy: another program holds the port; close that program and try again";
    case PortStatus::Missing:
        return "no such device: " + name;
    case PortStatus::NotSerial:
        return name + " is not a serial device";
    default:
        return std::string();  // the system's words stand
    }
}

std::string PortMappingNote()
{
    return "A link COMn in " + ComPortLinkFolder() + " overrides this table.";
}

std::string NoDeviceHint(const std::string& portName)
{
    return portName + " has no device; link one as " + ComPortLinkFolder() + "/" + portName +
           " or give --port /dev/ttyUSB0";
}
