#include "PtyPair.h"
#include "ComPortMap.h"
#include "SerialPort.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>
#include <termios.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// Generous: only proves that a call does not hang.
constexpr auto kNoHang = std::chrono::seconds(5);

// Collects count bytes through repeated 5 ms reads (the pty hands bytes on
// asynchronously, so one read may come too early).
Bytes ReadAll(CSerialPort& port, size_t count)
{
    Bytes got;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    uint8_t buf[512];
    while (got.size() < count && Clock::now() < deadline) {
        uint32_t ask = static_cast<uint32_t>(std::min(count - got.size(), sizeof buf));
        int n = port.Read(buf, ask);
        got.insert(got.end(), buf, buf + n);
    }
    return got;
}

struct OpenPort {
    PtyPair pty;
    CLineSettings settings;
    CSerialPort port{settings};
    OpenPort()
    {
        settings.m_strDevice = pty.SlavePath();
        EXPECT_EQ(port.Open(), 1) << DescribeOpenError(port.LastError(), pty.SlavePath());
    }
};

double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace

TEST(SerialPortOpen, ConfiguresRaw19200EightNoneOne)
{
    OpenPort p;
    EXPECT_EQ(p.settings.m_nBaudRate, 19200);
    termios tio{};
    ASSERT_EQ(tcgetattr(p.pty.Slave(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(tio.c_cflag & CREAD, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

// At the rate it opens with, and after a switch (taken or refused) that
// keeps what the peer sent before it.
TEST(SerialPortOpen, PassesEveryByteValueUnchangedBothWays)
{
    const struct { int switchTo; bool taken; int rate; } cases[] = {{0, false, 19200}, {250000, true, 250000}, {-5, false, 19200}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.switchTo);
        OpenPort p;
        Bytes all(256);
        std::iota(all.begin(), all.end(), 0);
        p.pty.Send(all);
        if (c.switchTo != 0) {
            EXPECT_EQ(p.port.CanSetRate(c.switchTo), c.taken);
            EXPECT_EQ(p.port.SetRate(c.switchTo), c.taken);
        }
        EXPECT_EQ(OutputRateOf(p.pty.Slave()), c.rate);
        EXPECT_EQ(ReadAll(p.port, all.size()), all);

        ASSERT_NE(p.port.Write(all.data(), static_cast<uint32_t>(all.size())), 0);
        EXPECT_EQ(p.pty.Receive(all.size()), all);
    }
}

TEST(SerialPortOpen, SecondOpenOfTheSameDeviceIsRefusedAsBusy)
{
    OpenPort p;
    CLineSettings otherSettings;
    otherSettings.m_strDevice = p.pty.SlavePath();
    CSerialPort other(otherSettings);

    EXPECT_EQ(other.Open(), 0);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(other.LastError().status, PortStatus::Busy) << other.LastError().osText;
    EXPECT_NE(DescribeOpenError(other.LastError(), p.pty.SlavePath()).find("another program"),
              std::string::npos);
    EXPECT_EQ(ProbeDevice(p.pty.SlavePath()).status, PortStatus::Busy);

    uint8_t buf[2] = {0xAA, 0xBB};
    EXPECT_EQ(other.Read(buf, 2), 0);
    EXPECT_EQ(buf[0], 0xAA);

    // Once released, the port can be had again.
    p.port.Close();
    EXPECT_EQ(other.Open(), 1);
    EXPECT_TRUE(other.LastError().Ok());
}

TEST(SerialPortOpen, OpenWhileOpenKeepsThePortAndTheRate)
{
    OpenPort p;
    PtyPair second;
    p.settings.m_strDevice = second.SlavePath();
    p.settings.m_nBaudRate = 0;

    EXPECT_EQ(p.port.Open(), 1);
    EXPECT_EQ(p.port.DevicePath(), p.pty.SlavePath());
    EXPECT_EQ(p.settings.m_nBaudRate, 0);
    EXPECT_TRUE(ProbeDevice(second.SlavePath()).Ok());  // never touched
}

TEST(SerialPortOpen, MissingDeviceFailsWithNoSuchDevice)
{
    CLineSettings settings;
    settings.m_strDevice = "/dev/fernbow-no-such-tty";
    CSerialPort port(settings);
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.LastError().status, PortStatus::Missing);
    EXPECT_EQ(port.DevicePath(), "/dev/fernbow-no-such-tty");
    EXPECT_EQ(port.Close(), 0);
}

TEST(SerialPortOpen, NonTerminalIsRefused)
{
    // A FIFO nobody writes to would hold a blocking open() forever.
    char folder[] = "/tmp/serialfifoXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fifo = std::string(folder) + "/port";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& device : {std::string("/dev/null"), fifo}) {
        CLineSettings settings;
        settings.m_strDevice = device;
        CSerialPort port(settings);
        EXPECT_EQ(port.Open(), 0) << device;
        EXPECT_EQ(port.LastError().status, PortStatus::NotSerial) << device;
    }
    unlink(fifo.c_str());
    rmdir(folder);
}

TEST(SerialPortRead, NothingArrivingReturnsZeroWithoutHanging)
{
    OpenPort p;
    uint8_t buf[2] = {0x11, 0x22};
    const auto start = Clock::now();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(p.port.Read(buf, 2), 0);
    EXPECT_LT(Clock::now() - start, kNoHang);
}

TEST(SerialPortRead, ReturnsWhatHasArrivedWhenLessThanAsked)
{
    OpenPort p;
    p.pty.Send({'8'});
    ASSERT_TRUE(p.pty.SlaveHasInput());
    uint8_t buf[2] = {0, 0};
    EXPECT_EQ(p.port.Read(buf, 2), 1);
    EXPECT_EQ(buf[0], '8');
}

TEST(SerialPortRead, ReturnsOnceTheAskedBytesAreThere)
{
    OpenPort p;
    p.pty.Send({'H', 0x01, 'K'});
    ASSERT_TRUE(p.pty.SlaveHasInput());
    uint8_t buf[2] = {0, 0};
    EXPECT_EQ(ReadAll(p.port, 2), (Bytes{'H', 0x01}));
    EXPECT_EQ(p.port.Read(buf, 1), 1);  // the rest is kept for the next read
    EXPECT_EQ(buf[0], 'K');
}

TEST(SerialPortWrite, DiscardsBytesReceivedBeforeIt)
{
    OpenPort p;
    p.pty.Send({'N', 'o', 'i', 's', 'e'});
    ASSERT_TRUE(p.pty.SlaveHasInput());

    const uint8_t wake = 0xC1;
    ASSERT_NE(p.port.Write(&wake, 1), 0);
    EXPECT_EQ(p.pty.Receive(1), Bytes{0xC1});
    uint8_t buf[8] = {};
    EXPECT_EQ(p.port.Read(buf, sizeof buf), 0);

    p.pty.Send({'K'});
    EXPECT_EQ(ReadAll(p.port, 1), Bytes{'K'});
}

TEST(SerialPortWrite, LargeWriteIsFinishedAcrossPartialWrites)
{
    // Far more than a pty takes at once, so write() comes back short many
    // times. The reader may be descheduled past the 100 ms bound on a busy
    // machine, so a few tries are allowed; a port that gives up after the
    // first short write fails every one of them.
    Bytes data(256 * 1024);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + i / 256);
    bool complete = false;
    for (int attempt = 0; attempt < 3 && !complete; ++attempt) {
        OpenPort p;
        Bytes received;
        std::thread reader([&] { received = p.pty.Receive(data.size(), 5000); });
        int result = p.port.Write(data.data(), static_cast<uint32_t>(data.size()));
        reader.join();
        ASSERT_LE(received.size(), data.size());
        EXPECT_TRUE(std::equal(received.begin(), received.end(), data.begin()));
        complete = result != 0 && received == data;
    }
    EXPECT_TRUE(complete);
}

TEST(SerialPortWrite, GivesUpWhenNobodyTakesTheBytes)
{
    OpenPort p;
    Bytes data(4 * 1024 * 1024, 0x55);
    const auto start = Clock::now();
    EXPECT_EQ(p.port.Write(data.data(), static_cast<uint32_t>(data.size())), 0);
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_EQ(p.port.LastError().status, PortStatus::Timeout);
    // Still usable afterwards.
    p.pty.Receive(data.size(), 200);
    const uint8_t wake = 0xC1;
    EXPECT_NE(p.port.Write(&wake, 1), 0);
}

TEST(SerialPortClose, ClosedPortIsInertAndSendsNothing)
{
    PtyPair pty;
    CLineSettings settings;
    settings.m_strDevice = pty.SlavePath();
    CSerialPort port(settings);

    EXPECT_EQ(port.Close(), 0);
    uint8_t buf[4] = {1, 2, 3, 4};
    EXPECT_EQ(port.Read(buf, 4), 0);
    EXPECT_EQ(buf[0], 1);
    EXPECT_EQ(buf[3], 4);
    EXPECT_EQ(port.Write(buf, 4), 0);

    ASSERT_EQ(port.Open(), 1);
    EXPECT_EQ(port.Close(), 1);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.Write(buf, 4), 0);
    EXPECT_EQ(port.Read(buf, 4), 0);
    EXPECT_TRUE(pty.Receive(1, 100).empty());
    EXPECT_TRUE(ProbeDevice(pty.SlavePath()).Ok());  // released
}

TEST(SerialPortClose, DestructorReleasesThePort)
{
    PtyPair pty;
    {
        CLineSettings settings;
        settings.m_strDevice = pty.SlavePath();
        CSerialPort port(settings);
        ASSERT_EQ(port.Open(), 1);
    }
    EXPECT_TRUE(ProbeDevice(pty.SlavePath()).Ok());
}

TEST(SerialPortHangUp, PeerGoingAwayMidReadNeitherHangsNorSpins)
{
    OpenPort p;
    std::thread board([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        p.pty.HangUp();
    });
    uint8_t buf[2];
    const auto start = Clock::now();
    const double cpuStart = ThreadCpuSeconds();
    for (int i = 0; i < 100; ++i)
        p.port.Read(buf, 2);
    board.join();
    const double cpu = ThreadCpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_LT(Clock::now() - start, kNoHang);
    // Each read still takes its 5 ms (a lower bound, which a busy machine can
    // only lengthen): otherwise the engine's wait loops would spin.
    EXPECT_GE(wall, 100 * 0.005 * 0.9);
    // ... and sleeps them out rather than burning the processor.
    EXPECT_LT(cpu, wall / 2) << "cpu " << cpu << " s, wall " << wall << " s";

    const uint8_t frame[4] = {0, 0, 0x40, 0};
    EXPECT_EQ(p.port.Write(frame, 4), 0);
    EXPECT_TRUE(p.port.LineLost());
    EXPECT_EQ(p.port.LastError().status, PortStatus::Lost);
    EXPECT_FALSE(p.port.IsOpen());  // the next Open starts afresh
    EXPECT_EQ(p.port.Close(), 1);
}
