#include "PtyPair.h"
#include "ComPortMap.h"
#include "SerialPort.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void Link(const TempConfigHome& home, int n, const std::string& target)
{
    fs::path folder = fs::path(home.Path()) / "Corvane/Fernbow/Ports";
    fs::create_directories(folder);
    fs::create_symlink(target, folder / ("COM" + std::to_string(n)));
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

PortResult Result(PortStatus status, const std::string& osText = std::string())
{
    PortResult result;
    result.status = status;
    result.osText = osText;
    return result;
}

} // namespace

TEST(SerialComPortMap, FixedTableWithoutLinks)
{
    TempConfigHome home;
    struct Row {
        int n;
        const char* device;
    };
    const Row rows[] = {
        {0, ""},           {1, "/dev/ttyS0"},    {4, "/dev/ttyS3"},    {5, "/dev/ttyUSB0"},
        {12, "/dev/ttyUSB7"}, {13, "/dev/ttyACM0"}, {19, "/dev/ttyACM6"}, {20, ""},
        {-1, ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(DeviceForComPort(row.n), row.device) << "COM" << row.n;
    EXPECT_EQ(ComPortLinkFolder(), home.Path() + "/Corvane/Fernbow/Ports");
    EXPECT_FALSE(ProbeComPort(0));
}

TEST(SerialComPortMap, LinkInThePortsFolderWins)
{
    TempConfigHome home;
    PtyPair pty;
    Link(home, 5, pty.SlavePath());
    Link(home, 0, "../../../fake-tty");  // relative to the Ports folder

    EXPECT_EQ(DeviceForComPort(5), pty.SlavePath());
    EXPECT_EQ(DeviceForComPort(0), home.Path() + "/fake-tty");
    EXPECT_EQ(DeviceForComPort(6), "/dev/ttyUSB1");

    CLineSettings settings;
    settings.m_nComPort = 5;
    CSerialPort port(settings);
    ASSERT_EQ(port.Open(), 1);
    EXPECT_EQ(port.DevicePath(), pty.SlavePath());
}

TEST(SerialComPortMap, ProbeOpensExclusivelyAndReleases)
{
    TempConfigHome home;
    PtyPair pty;
    Link(home, 7, pty.SlavePath());
    Link(home, 8, "/dev/fernbow-no-such-tty");

    EXPECT_TRUE(ProbeComPort(7));
    EXPECT_TRUE(ProbeComPort(7));  // the probe let go of it
    EXPECT_FALSE(ProbeComPort(8));
    EXPECT_EQ(ProbeDevice("/dev/fernbow-no-such-tty").status, PortStatus::Missing);

    CLineSettings settings;
    settings.m_nComPort = 7;
    CSerialPort holder(settings);
    ASSERT_EQ(holder.Open(), 1);
    EXPECT_FALSE(ProbeComPort(7));
    holder.Close();
    EXPECT_TRUE(ProbeComPort(7));
}

TEST(SerialComPortMap, OpenErrorsSayWhatToDo)
{
    EXPECT_TRUE(Contains(DescribeOpenError(Result(PortStatus::AccessDenied), "/dev/fernbow-gone"),
                         "permission denied"));
    EXPECT_TRUE(Contains(DescribeOpenError(Result(PortStatus::Busy), "/dev/ttyUSB0"),
                         "another program holds the port"));
    EXPECT_TRUE(Contains(DescribeOpenError(Result(PortStatus::Missing), "/dev/ttyUSB9"),
                         "no such device: /dev/ttyUSB9"));
    EXPECT_TRUE(Contains(DescribeOpenError(Result(PortStatus::NotSerial), "/dev/null"), "not a serial device"));
    EXPECT_TRUE(Contains(DescribeOpenError(Result(PortStatus::Other, "Invalid argument")),
                         "the port: Invalid argument"));
}

TEST(SerialComPortMap, PermissionDeniedNamesTheGroupThatGrantsAccess)
{
    TempConfigHome home;
    const std::string device = home.Path() + "/ttyFake";
    std::ofstream(device).put('x');
    const group* gr = getgrnam("dialout");
    if (gr == nullptr)
        gr = getgrnam("uucp");
    if (gr == nullptr || chown(device.c_str(), static_cast<uid_t>(-1), gr->gr_gid) != 0)
        GTEST_SKIP() << "cannot give a file to a device group here";
    const std::string groupName = gr->gr_name;

    ASSERT_EQ(chmod(device.c_str(), 0660), 0);
    std::string text = DescribeOpenError(Result(PortStatus::AccessDenied), device);
    EXPECT_TRUE(Contains(text, "permission denied on " + device)) << text;
    EXPECT_TRUE(Contains(text, "join the group \"" + groupName + "\"")) << text;

    // Group membership would not help when the group may not read and write.
    ASSERT_EQ(chmod(device.c_str(), 0600), 0);
    text = DescribeOpenError(Result(PortStatus::AccessDenied), device);
    EXPECT_FALSE(Contains(text, "join the group")) << text;
    EXPECT_TRUE(Contains(text, "read and write access")) << text;
    EXPECT_FALSE(Contains(DescribeOpenError(Result(PortStatus::AccessDenied), "/dev/null"), "join the group"));
}
