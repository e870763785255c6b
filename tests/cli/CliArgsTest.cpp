#include "CliArgs.h"
#include "PortArgument.h"

#include <gtest/gtest.h>

TEST(CliPortArgument, NumbersAndDevices)
{
    struct Row {
        const char* text;
        int comPort;
        const char* device;
    };
    const Row rows[] = {
        {"COM3", 3, ""},   {"com12", 12, ""},  {"Com0", 0, ""}, {"7", 7, ""}, {"019", 19, ""},
        {"\\\\.\\COM150", 150, ""},
        {"/dev/ttyUSB0", -1, "/dev/ttyUSB0"}, {"/dev/pts/4", -1, "/dev/pts/4"},
        {"./board", -1, "./board"},
        {"tcp://127.0.0.1:2000", -1, "tcp://127.0.0.1:2000"}, {"rfc2217://[::1]:7000", -1, "rfc2217://[::1]:7000"},
        {"RFC2217://bench-pi.local:3001", -1, "RFC2217://bench-pi.local:3001"},
    };
    for (const Row& row : rows) {
        PortArgument port = ParsePortArgument(row.text);
        EXPECT_TRUE(port.ok) << row.text;
        EXPECT_EQ(port.comPort, row.comPort) << row.text;
        EXPECT_EQ(port.device, row.device) << row.text;
    }
}

TEST(CliPortArgument, RefusesWhatIsNeitherWithAHint)
{
    for (const char* text : {"", "COM", "COMx", "COM3a", "ttyUSB0", "-1", "COM-1", "1234567", " 3", "\\\\.\\X3"}) {
        PortArgument port = ParsePortArgument(text);
        EXPECT_FALSE(port.ok) << '"' << text << '"';
        EXPECT_NE(port.error.find("/dev/ttyUSB0"), std::string::npos) << port.error;
    }
}

TEST(CliArgs, FullRunLine)
{
    CliArgs args = ParseCliArgs({"--port", "COM5", "--wait", "2.5", "--trace", "blink.hex"});
    ASSERT_EQ(args.error, "");
    EXPECT_EQ(args.mode, CliArgs::Mode::Run);
    EXPECT_TRUE(args.hasPort);
    EXPECT_EQ(args.port.comPort, 5);
    EXPECT_DOUBLE_EQ(args.waitSeconds, 2.5);
    EXPECT_TRUE(args.trace);
    EXPECT_EQ(args.hexFile, "blink.hex");
    EXPECT_FALSE(args.Bench());

    // The loop of one board: a bare --monitor leaves the next word to be the file.
    CliArgs loop = ParseCliArgs({"--monitor", "--reset", "rts", "--watch", "blink.hex"});
    ASSERT_EQ(loop.error, "");
    EXPECT_EQ(loop.monitorBaud, 19200);
    EXPECT_TRUE(loop.reset);
    EXPECT_EQ(loop.resetLine, ModemLine::Rts);
    EXPECT_TRUE(loop.watch);
    EXPECT_EQ(loop.settleMs, 300);
    EXPECT_EQ(ParseCliArgs({"--watch", "--settle=2000", "blink.hex"}).settleMs, 2000);
    EXPECT_EQ(loop.hexFile, "blink.hex");
    EXPECT_EQ(ParseCliArgs({"--monitor=9600", "blink.hex"}).monitorBaud, 9600);
    EXPECT_EQ(ParseCliArgs({"blink.hex"}).monitorBaud, 0);
}

TEST(CliArgs, BenchLine)
{
    CliArgs args = ParseCliArgs({"--repeat", "--port", "COM5", "--count=3", "--port=/dev/ttyUSB2", "--log",
                                 "runs.csv", "--port", "6", "a.hex"});
    ASSERT_EQ(args.error, "");
    EXPECT_TRUE(args.Bench());
    ASSERT_EQ(args.ports.size(), 3u);
    EXPECT_EQ(args.ports[0].comPort, 5);
    EXPECT_EQ(args.ports[1].device, "/dev/ttyUSB2");
    EXPECT_EQ(args.ports[2].comPort, 6);
    EXPECT_EQ(args.port.comPort, 5);
    EXPECT_EQ(args.count, 3);
    EXPECT_EQ(args.logFile, "runs.csv");
    EXPECT_TRUE(ParseCliArgs({"--port", "1", "--port", "2", "a.hex"}).Bench());
    // A single board with --log is logged like a bench's.
    EXPECT_TRUE(ParseCliArgs({"--log", "runs.csv", "a.hex"}).Bench());
    EXPECT_TRUE(ParseCliArgs({"--force", "a.hex"}).force);
}

TEST(CliArgs, DefaultsAndInlineValues)
{
    CliArgs plain = ParseCliArgs({"a.hex"});
    EXPECT_EQ(plain.error, "");
    EXPECT_FALSE(plain.hasPort);
    EXPECT_LT(plain.waitSeconds, 0);
    EXPECT_FALSE(plain.trace);

    CliArgs inlined = ParseCliArgs({"--port=/dev/pts/3", "--wait=3", "--wait=10", "a.hex"});
    EXPECT_EQ(inlined.error, "");
    EXPECT_EQ(inlined.port.device, "/dev/pts/3");
    EXPECT_DOUBLE_EQ(inlined.waitSeconds, 10);

    CliArgs dashFile = ParseCliArgs({"--", "-odd.hex"});
    EXPECT_EQ(dashFile.error, "");
    EXPECT_EQ(dashFile.hexFile, "-odd.hex");
}

TEST(CliArgs, ModesWinOverTheRunLine)
{
    EXPECT_EQ(ParseCliArgs({"--help"}).mode, CliArgs::Mode::Help);
    EXPECT_EQ(ParseCliArgs({"-h", "x.hex"}).mode, CliArgs::Mode::Help);
    EXPECT_EQ(ParseCliArgs({"--version"}).mode, CliArgs::Mode::Version);
    CliArgs list = ParseCliArgs({"--list"});
    EXPECT_EQ(list.mode, CliArgs::Mode::List);
    EXPECT_EQ(list.error, "");
}

TEST(CliArgs, UsageErrorsAreNamed)
{
    struct Row {
        std::vector<std::string> args;
        const char* says;
    };
    const Row rows[] = {
        {{}, "no HEX file"},
        {{"a.hex", "b.hex"}, "only one HEX file"},
        {{"--port"}, "needs a value"},
        {{"--port", "COM1", "a.hex", "--wait"}, "option --wait needs a value"},
        {{"--port", "tty0", "a.hex"}, "invalid port"},
        {{"--wait", "0", "a.hex"}, "invalid --wait"},
        {{"--wait", "-3", "a.hex"}, "invalid --wait"},
        {{"--wait", "soon", "a.hex"}, "invalid --wait"},
        {{"--wait", "5s", "a.hex"}, "invalid --wait"},
        {{"--wait", "inf", "a.hex"}, "at most 31536000 seconds"},
        {{"--wait", "1e9", "a.hex"}, "invalid --wait \"1e9\": at most 31536000 seconds"},
        {{"--wait", "nan", "a.hex"}, "above 0"},
        {{"--trace=yes", "a.hex"}, "takes no value"},
        {{"--frobnicate", "a.hex"}, "unknown option --frobnicate"},
        {{"--list", "a.hex"}, "--list takes no file"},
        {{"--port", "COM3", "--port", "3", "a.hex"}, "port 3 given twice"},
        {{"--repeat", "--count", "0", "a.hex"}, "invalid --count"},
        {{"--repeat", "--count", "2x", "a.hex"}, "invalid --count"},
        {{"--repeat", "--count", "99999999999", "a.hex"}, "invalid --count"},
        {{"--repeat", "--count", "\xB2", "a.hex"}, "invalid --count"},  // a byte above 0x7F
        {{"--force=yes", "a.hex"}, "takes no value"},
        {{"--count", "2", "a.hex"}, "--count goes with --repeat"},
        {{"--repeat=no", "a.hex"}, "takes no value"},
        {{"--read", "out.hex", "a.hex"}, "--read takes no HEX file"},
        {{"--read="}, "invalid --read"},
        {{"--read", "out.hex", "--verify"}, "one at a time"},
        {{"--verify", "--watch", "a.hex"}, "--verify is for one board"},
        {{"--read", "o.hex", "--repeat"}, "--read is for one board"},
        {{"--verify", "--full", "a.hex"}, "--full goes with writing"},
        {{"--baud", "9600", "a.hex"}, "invalid --baud \"9600\": give the fastest rate"},
        {{"--verify"}, "no HEX file"},
        {{"--help=1"}, "option --help takes no value"},  // a flag with a short name too
        {{"--port", "tcp://host", "a.hex"}, "give tcp://HOST:PORT or rfc2217://HOST:PORT"},
        {{"--port", "tcp://:2000", "a.hex"}, "give tcp://HOST:PORT"},
        {{"--port", "rfc2217://[::1:7000", "a.hex"}, "give tcp://HOST:PORT"},
        {{"--port", "tcp://host:0", "a.hex"}, "from 1 to 65535"},
        {{"--port", "tcp://host:65536", "a.hex"}, "from 1 to 65535"},
        {{"--port", "tcp://host:20x0", "a.hex"}, "from 1 to 65535"},
        {{"--port", "udp://host:2000", "a.hex"}, "unknown network protocol"},
        {{"--monitor=fast", "a.hex"}, "invalid --monitor"},
        {{"--monitor=0", "a.hex"}, "invalid --monitor"},
        {{"--monitor", "--repeat", "a.hex"}, "--monitor is for one board"},
        {{"--monitor", "--port", "1", "--port", "2", "a.hex"}, "--monitor is for one board"},
        {{"--watch", "--repeat", "a.hex"}, "--watch is for one board"},
        {{"--reset", "cts", "a.hex"}, "give dtr or rts"},
        {{"--reset", "dtr", "--repeat", "a.hex"}, "--reset is for one board"},
        {{"--log", "", "a.hex"}, "invalid --log \"\": give the name"},
        {{"--log=", "a.hex"}, "invalid --log"},
        {{"--port=", "a.hex"}, "invalid port \"\""},
        {{"--settle", "500", "a.hex"}, "--settle goes with --watch"},
        {{"--watch", "--settle", "-1", "a.hex"}, "invalid --settle"},
        {{"--watch", "--settle", "600001", "a.hex"}, "from 0 to 600000"},
        {{"--watch", "a.hex", "--settle"}, "option --settle needs a value"},
    };
    for (const Row& row : rows) {
        CliArgs args = ParseCliArgs(row.args);
        EXPECT_NE(args.error.find(row.says), std::string::npos)
            << "got \"" << args.error << "\", wanted \"" << row.says << '"';
    }
}
