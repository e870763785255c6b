// CSerialPort's Windows backend on real COM ports: COM150 is the port under
// test, COM151 the far end of the line (with_com_pair.sh joins them). High
// numbers, because Wine gives the low ones to the machine's own ttyS ports.
#include "ComPortMap.h"
#include "SerialPort.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int kPort = 150;
constexpr int kFarPort = 151;

// Reads until count bytes have come or a read brings nothing.
std::string ReadSome(CSerialPort& port, size_t count)
{
    std::string got;
    for (int idle = 0; got.size() < count && idle < 200;) {
        uint8_t buffer[64];
        const int n = port.Read(buffer, static_cast<uint32_t>(std::min<size_t>(sizeof buffer, count - got.size())));
        got.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
        idle = n > 0 ? 0 : idle + 1;
    }
    return got;
}

struct OpenPort {
    explicit OpenPort(int n = kPort) { settings.m_nComPort = n; }
    CLineSettings settings;
    CSerialPort port{settings};
};

// The far end of the line: a port of its own.
struct FarEnd : OpenPort {
    FarEnd() : OpenPort(kFarPort) { port.Open(); }
    void Send(const std::string& bytes)
    {
        port.Write(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    }
    std::string Receive(size_t count) { return ReadSome(port, count); }
};

TEST(SerialPortWin, OpensComNAtTheLineRateAndCarriesBytesBothWays)
{
    OpenPort p;
    ASSERT_EQ(p.port.Open(), 1) << DescribeOpenError(p.port.LastError(), p.port.DevicePath());
    EXPECT_EQ(p.port.DevicePath(), "\\\\.\\COM150");
    EXPECT_EQ(p.settings.m_nBaudRate, 19200);
    FarEnd peer;
    ASSERT_TRUE(peer.port.IsOpen());

    const std::string frame = "\x01\x02\x03\xC1" + std::string(64, '\x5A');
    ASSERT_EQ(p.port.Write(reinterpret_cast<const uint8_t*>(frame.data()), static_cast<uint32_t>(frame.size())), 1);
    EXPECT_EQ(peer.Receive(frame.size()), frame);
    peer.Send("K");
    EXPECT_EQ(ReadSome(p.port, 1), "K");

    // Switched, after what was written has left, keeping what came.
    peer.Send("S");
    EXPECT_TRUE(p.port.CanSetRate(38400));
    ASSERT_TRUE(p.port.SetRate(38400));
    EXPECT_EQ(p.settings.m_nBaudRate, 38400);
    EXPECT_EQ(ReadSome(p.port, 1), "S");
    ASSERT_EQ(p.port.Write(reinterpret_cast<const uint8_t*>(frame.data()), static_cast<uint32_t>(frame.size())), 1);
    EXPECT_EQ(peer.Receive(frame.size()), frame);
}

// A read waits only its 5 ms: asked for two bytes with one there, it
// returns the one (without the bound it would wait for the second forever).
TEST(SerialPortWin, ReadReturnsWhatCameWithinItsBound)
{
    OpenPort p;
    ASSERT_EQ(p.port.Open(), 1);
    FarEnd peer;
    uint8_t buffer[2] = {0xAA, 0xBB};
    EXPECT_EQ(p.port.Read(buffer, 2), 0);
    EXPECT_EQ(buffer[0], 0xAA);

    peer.Send("N");
    std::string got;
    for (int i = 0; i < 400 && got.empty(); ++i) {
        const int n = p.port.Read(buffer, 2);
        got.assign(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    }
    EXPECT_EQ(got, "N");
}

// Bytes that came before a write are thrown away by it: an answer read
// after the write belongs to the write.
TEST(SerialPortWin, WritePurgesWhatArrivedBefore)
{
    OpenPort p;
    ASSERT_EQ(p.port.Open(), 1);
    FarEnd peer;
    peer.Send("XY");
    ASSERT_EQ(ReadSome(p.port, 1), "X");  // Y is waiting too now

    const uint8_t wake = 0xC1;
    ASSERT_EQ(p.port.Write(&wake, 1), 1);
    EXPECT_EQ(peer.Receive(1), "\xC1");
    peer.Send("Z");
    EXPECT_EQ(ReadSome(p.port, 2), "Z");
}

TEST(SerialPortWin, PortIsExclusiveUntilClosed)
{
    OpenPort p;
    ASSERT_EQ(p.port.Open(), 1);
    CLineSettings otherSettings;
    otherSettings.m_nComPort = kPort;
    CSerialPort other(otherSettings);
    EXPECT_EQ(other.Open(), 0);
    EXPECT_FALSE(other.IsOpen());
    const PortResult refused = other.LastError();
    EXPECT_TRUE(refused.status == PortStatus::AccessDenied || refused.status == PortStatus::Busy)
        << refused.osText;
    EXPECT_NE(DescribeOpenError(refused, other.DevicePath()).find("another program holds the port"),
              std::string::npos);
    EXPECT_FALSE(ProbeComPort(kPort));
    uint8_t buffer[1] = {0xAA};
    EXPECT_EQ(other.Read(buffer, 1), 0);
    EXPECT_EQ(other.Write(buffer, 1), 0);

    EXPECT_EQ(p.port.Close(), 1);
    EXPECT_FALSE(p.port.IsOpen());
    EXPECT_EQ(p.port.Close(), 0);
    EXPECT_EQ(p.port.Read(buffer, 1), 0);
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_TRUE(ProbeComPort(kPort));
    EXPECT_TRUE(ProbeComPort(kPort));  // the probe let go of it
    EXPECT_EQ(other.Open(), 1);
    EXPECT_TRUE(other.LastError().Ok());
}

TEST(SerialPortWin, MissingPortSaysSo)
{
    CLineSettings settings;
    settings.m_nComPort = 199;
    CSerialPort port(settings);
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.LastError().status, PortStatus::Missing) << port.LastError().osText;
    EXPECT_EQ(port.DevicePath(), "\\\\.\\COM199");
    EXPECT_NE(DescribeOpenError(port.LastError(), port.DevicePath()).find("no such port"), std::string::npos);
    EXPECT_FALSE(ProbeComPort(199));
    EXPECT_EQ(DeviceForComPort(-1), "");
}

} // namespace
