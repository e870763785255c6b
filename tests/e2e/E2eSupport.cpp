#include "E2eSupport.h"
#include "FlashModel.h"
#include "ProcessSpawn.h"
#include "ResetCode.h"
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <memory>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

uint8_t HexByte(const std::string& s, size_t pos)
{
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return 0;
    };
    if (pos + 1 >= s.size()) return 0;
    return static_cast<uint8_t>(digit(s[pos]) * 16 + digit(s[pos + 1]));
}

}  // namespace

TempFolder::TempFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fernbow-e2e-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
    m_path = name.data();
}

TempFolder::~TempFolder() { nftw(m_path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteTextFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

Child::Child(const std::vector<std::string>& argv, const std::string& configHome, const std::string& stdoutPath,
             const std::string& stderrPath, const std::string& stdinPath)
{
    SpawnOptions options;
    options.environment = {"XDG_CONFIG_HOME=" + configHome};
    options.stdinPath = stdinPath;
    options.stdoutPath = stdoutPath;
    options.stderrPath = stderrPath;
    int pipeFds[2] = {-1, -1};
    if (stdoutPath.empty()) {
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
        options.stdoutFd = pipeFds[1];
    }
    m_pid = SpawnProcess(argv, options);
    if (pipeFds[1] >= 0) ::close(pipeFds[1]);
    m_stdout = pipeFds[0];
}

Child::~Child()
{
    if (m_pid > 0 && !m_reaped) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_stdout >= 0) ::close(m_stdout);
}

std::string Child::ReadLine(int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_stdout >= 0) {
        const size_t nl = m_buffered.find('\n');
        if (nl != std::string::npos) {
            std::string line = m_buffered.substr(0, nl);
            m_buffered.erase(0, nl + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p = {m_stdout, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(m_stdout, buffer, sizeof buffer);
        if (n <= 0) break;
        m_buffered.append(buffer, static_cast<size_t>(n));
    }
    return {};
}

void Child::Signal(int sig)
{
    if (m_pid > 0 && !m_reaped) ::kill(m_pid, sig);
}

void Child::CloseStdout()
{
    if (m_stdout >= 0) ::close(m_stdout);
    m_stdout = -1;
}

ChildResult Child::Wait(int limitMs)
{
    ChildResult r;
    if (m_pid <= 0 || m_reaped) return r;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) break;
        if (std::chrono::steady_clock::now() > end) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            m_reaped = true;
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_reaped = true;
    r.finished = true;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// A Wine COM port (COM160 and up, clear of those Wine gives the machine's
// own serial ports) linked to a device for as long as it lives.
class WineComLink {
public:
    WineComLink(const std::string& prefix, const std::string& device)
    {
        for (int n = 160; n < 256 && m_n < 0; ++n) {
            const std::string link = prefix + "/dosdevices/com" + std::to_string(n);
            if (::symlink(device.c_str(), link.c_str()) == 0) {
                m_n = n;
                m_link = link;
            }
        }
    }
    ~WineComLink()
    {
        if (m_n >= 0) ::unlink(m_link.c_str());
    }
    WineComLink(const WineComLink&) = delete;
    WineComLink& operator=(const WineComLink&) = delete;
    std::string Name() const { return "COM" + std::to_string(m_n); }

private:
    int m_n = -1;
    std::string m_link;
};

}  // namespace

CliRun RunCli(const std::vector<std::string>& args, const TempFolder& folder, int limitMs)
{
    std::vector<std::string> argv = {FERNBOW_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    // With FERNBOW_E2E_WINE_CLI set, the Windows fernbow-cli.exe runs under
    // Wine instead, and the board's pseudo-terminal (named by --port as a
    // device or as the COMn the board linked) becomes a Wine COM port.
    const std::string wineCli = Env("FERNBOW_E2E_WINE_CLI");
    std::unique_ptr<WineComLink> com;
    if (!wineCli.empty()) {
        const std::string prefix = Env("FERNBOW_E2E_WINEPREFIX");
        argv = {Env("FERNBOW_E2E_WINE_RUN"), prefix, wineCli};
        for (size_t i = 0; i < args.size(); ++i) {
            std::string arg = args[i];
            if (i > 0 && args[i - 1] == "--port") {
                std::string device = arg;
                char target[512] = {};
                const std::string link = folder.File("Corvane/Fernbow/Ports/" + arg);
                if (arg.rfind("COM", 0) == 0 && ::readlink(link.c_str(), target, sizeof target - 1) > 0)
                    device = target;
                if (device.rfind("/dev/pts/", 0) == 0) {
                    com = std::make_unique<WineComLink>(prefix, device);
                    arg = com->Name();
                }
            }
            argv.push_back(arg);
        }
    }
    const std::string out = folder.File("cli.out"), err = folder.File("cli.err");
    CliRun run;
    {
        Child child(argv, folder.Path(), out, err);
        run.result = child.Wait(limitMs);
    }
    run.out = ReadTextFile(out);
    run.err = ReadTextFile(err);
    return run;
}

SimProcess::SimProcess(const TempFolder& folder, const std::string& chip, const std::vector<std::string>& options,
                       const std::string& name)
    : m_folder(folder),
      m_dump(folder.File(name + "flash.hex")),
      m_log(folder.File(name + "sim.log")),
      m_child(
          [&] {
              std::vector<std::string> argv = {FERNBOW_SIM, "--chip", chip, "--dump", m_dump, "--log", m_log};
              argv.insert(argv.end(), options.begin(), options.end());
              return argv;
          }(),
          folder.Path(), "", m_log + ".err")
{
    m_device = m_child.ReadLine(30000);
}

std::vector<uint16_t> SimProcess::Stop(ChildResult* result)
{
    m_child.Signal(SIGTERM);
    const ChildResult r = m_child.Wait(30000);
    if (result) *result = r;
    const std::string text = ReadTextFile(m_dump);
    if (text.empty()) return {};
    return WordsFromHex(text, 0x1000);
}

std::vector<uint16_t> SimProcess::Stop(ChildResult* result, int limitMs)
{
    const ChildResult r = m_child.Wait(limitMs);
    if (result) *result = r;
    return Stop();
}

std::string SimProcess::Log() const { return ReadTextFile(m_log) + ReadTextFile(m_log + ".err"); }

LoadedImage LoadImage(const std::string& hexText)
{
    LoadedImage image;
    uint32_t base = 0;
    size_t pos = 0;
    while ((pos = hexText.find(':', pos)) != std::string::npos) {
        const size_t rec = pos + 1;  // first character after the colon
        if (rec + 8 > hexText.size()) break;
        const uint32_t count = HexByte(hexText, rec);
        const uint32_t field = (static_cast<uint32_t>(HexByte(hexText, rec + 2)) << 8) | HexByte(hexText, rec + 4);
        const uint8_t type = HexByte(hexText, rec + 6);
        // A record ends with its line: one whose line is too short for its
        // count stores nothing.
        const size_t lineEnd = std::min(hexText.find_first_of(":\r\n", rec), hexText.size());
        pos = rec + 8 + 2 * count;
        if (pos > lineEnd) {
            pos = lineEnd;
            continue;
        }
        if (type == 1) break;  // end record (its adjustment cannot reach past loadEnd)
        if ((type == 2 || type == 4) && count == 2 && rec + 12 <= hexText.size())
            base = ((static_cast<uint32_t>(HexByte(hexText, rec + 8)) << 8) | HexByte(hexText, rec + 10))
                   << (type == 4 ? 16 : 4);
        const uint32_t address = base + field;
        if (type != 0 || address >= 0x4000) continue;
        if (address > image.highestStart) image.highestStart = address;
        for (uint32_t i = 0; i < count && rec + 8 + 2 * i + 1 < hexText.size(); ++i) {
            const uint32_t at = address + i;
            if (at < 0x4000) {
                image.bytes[at] = HexByte(hexText, rec + 8 + 2 * i);
                if (at + 1 > image.loadEnd) image.loadEnd = at + 1;
            }
        }
    }
    return image;
}

bool ReachesBootArea(const LoadedImage& image, const ChipInfo& chip)
{
    return image.highestStart > chip.BootBoundary() || image.loadEnd > chip.BootBoundary();
}

std::vector<uint16_t> FreshFlash(const ChipInfo& chip) { return FlashModel(chip).AllWords(); }

std::vector<uint16_t> ExpectedFlash(const LoadedImage& image, const ChipInfo& chip)
{
    std::vector<uint8_t> bytes = image.bytes;
    const uint32_t boundary = chip.BootBoundary();
    StoreResetWords(PlanResetCode(chip, ReadResetWords(bytes.data())).moved, bytes.data() + boundary);
    // The jump to the bootloader at word 0.
    const std::vector<uint16_t> jump = chip.isF819 ? std::vector<uint16_t>{0x2F60}
                                                   : std::vector<uint16_t>{0x158A, 0x2F60};
    for (size_t i = 0; i < jump.size(); ++i) {
        bytes[2 * i] = static_cast<uint8_t>(jump[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(jump[i] >> 8);
    }
    std::vector<uint16_t> words = FreshFlash(chip);
    for (uint32_t w = 0; w < boundary / 2 + 4; ++w)
        words[w] = static_cast<uint16_t>((bytes[2 * w] | (bytes[2 * w + 1] << 8)) & 0x3FFF);
    return words;
}

std::vector<uint16_t> WordsFromHex(const std::string& hexText, size_t words)
{
    std::vector<uint8_t> bytes(words * 2, 0xFF);
    size_t highest = 0;
    std::istringstream in(hexText);
    uint32_t upper = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 11 || line[0] != ':') continue;
        const uint32_t count = HexByte(line, 1);
        const uint32_t address = (static_cast<uint32_t>(HexByte(line, 3)) << 8) | HexByte(line, 5);
        const uint8_t type = HexByte(line, 7);
        if (type == 1) break;
        if (type == 4) upper = (static_cast<uint32_t>(HexByte(line, 9)) << 24) | (static_cast<uint32_t>(HexByte(line, 11)) << 16);
        if (type != 0) continue;
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = upper + address + i;
            if (at < bytes.size()) bytes[at] = HexByte(line, 9 + 2 * i);
            highest = std::max(highest, at + 1);
        }
    }
    std::vector<uint16_t> out((highest + 1) / 2);
    for (size_t w = 0; w < out.size() && w < words; ++w) out[w] = static_cast<uint16_t>(bytes[2 * w] | (bytes[2 * w + 1] << 8));
    return out;
}

std::string FirstDifference(const std::vector<uint16_t>& actual, const std::vector<uint16_t>& expected)
{
    if (actual.size() != expected.size())
        return "flash has " + std::to_string(actual.size()) + " words, expected " + std::to_string(expected.size());
    for (size_t w = 0; w < actual.size(); ++w) {
        if (actual[w] != expected[w]) {
            char text[96];
            std::snprintf(text, sizeof text, "word 0x%04zX is 0x%04X, expected 0x%04X", w, actual[w], expected[w]);
            return text;
        }
    }
    return {};
}

namespace {

// A loopback port nobody listens on right now.
int FreeLoopbackPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = -1;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(s);
    return port;
}

// Whether something listens on 127.0.0.1:port, from the kernel's table
// (connecting would make ser2net open the device).
bool Listening(int port)
{
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::istringstream table(ReadTextFile("/proc/net/tcp"));
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string slot, address, remote, state;
        fields >> slot >> address >> remote >> state;
        if (address == local && state == "0A") return true;
    }
    return false;
}

}  // namespace

Ser2Net::Ser2Net(const TempFolder& folder, const std::vector<std::string>& devices, Mode mode)
    : m_log(folder.File("ser2net.log"))
{
    std::string config;
    std::vector<int> ports;
    for (size_t i = 0; i < devices.size(); ++i) {
        const int port = FreeLoopbackPort();
        ports.push_back(port);
        config += "connection: &board" + std::to_string(i) + "\n  accepter: " +
                  (mode == Mode::Rfc2217 ? "telnet(rfc2217),tcp,127.0.0.1," : "tcp,127.0.0.1,") +
                  std::to_string(port) + "\n  connector: serialdev," + devices[i] + ",19200n81,local\n";
        m_urls.push_back((mode == Mode::Rfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(port));
    }
    const std::string file = folder.File("ser2net.yaml");
    WriteTextFile(file, config);
    if (::access("/usr/sbin/ser2net", X_OK) != 0) {
        WriteTextFile(m_log, "no /usr/sbin/ser2net: scripts/install-deps.sh installs it\n");
        m_urls.clear();
        return;
    }
    m_child = std::make_unique<Child>(
        std::vector<std::string>{"/usr/sbin/ser2net", "-n", "-c", file, "-P", folder.File("ser2net.pid")},
        folder.Path(), m_log, m_log + ".err");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto allListening = [&] {
        return std::all_of(ports.begin(), ports.end(), [](int port) { return Listening(port); });
    };
    while (!allListening() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!allListening()) m_urls.clear();
}

Ser2Net::~Ser2Net()
{
    if (!m_child) return;
    m_child->Signal(SIGTERM);
    m_child->Wait(10000);
}

std::string Ser2Net::Url(size_t i) const { return i < m_urls.size() ? m_urls[i] : std::string(); }

ClosingServer::ClosingServer() : m_listener(::socket(AF_INET, SOCK_STREAM, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_listener, 1) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] {
        const int connection = ::accept(m_listener, nullptr, nullptr);
        if (connection < 0) return;
        uint8_t byte = 0;
        const ssize_t got = ::read(connection, &byte, 1);  // the first byte, or the end of the client
        (void)got;
        ::close(connection);
    });
}

ClosingServer::~ClosingServer()
{
    ::shutdown(m_listener, SHUT_RDWR);  // ends a wait in accept
    if (m_thread.joinable()) m_thread.join();
    ::close(m_listener);
}

std::string ClosingServer::Url() const
{
    return m_port < 0 ? std::string() : "tcp://127.0.0.1:" + std::to_string(m_port);
}
