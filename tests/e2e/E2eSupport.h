#pragma once
#include "ChipTable.h"
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

// A scratch folder removed with everything in it at the end of the test.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string ReadTextFile(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& text);

// A child process with XDG_CONFIG_HOME pointed at a test folder.
struct ChildResult {
    bool finished = false;  // false: it had to be killed at the time limit
    int status = -1;        // exit status, or 128 + signal
};

class Child {
public:
    // stdoutPath empty: standard output comes back through a pipe (ReadLine).
    Child(const std::vector<std::string>& argv, const std::string& configHome, const std::string& stdoutPath,
          const std::string& stderrPath, const std::string& stdinPath = "/dev/null");
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_pid > 0; }
    // One line of the piped standard output; empty on time-out or end.
    std::string ReadLine(int timeoutMs);
    void Signal(int sig);
    // Closes the read end of the piped standard output, as "| head" does.
    void CloseStdout();
    // Waits at most limitMs (a bound against hanging, not a measurement),
    // then kills.
    ChildResult Wait(int limitMs);

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    bool m_reaped = false;
    std::string m_buffered;
};

// What a run of fernbow-cli printed and returned.
struct CliRun {
    ChildResult result;
    std::string out;
    std::string err;
};
CliRun RunCli(const std::vector<std::string>& args, const TempFolder& folder, int limitMs = 120000);

// fernbow-sim in its own process with a dump of its flash.
class SimProcess {
public:
    // name keeps the dump and the log of several boards in one folder apart.
    SimProcess(const TempFolder& folder, const std::string& chip, const std::vector<std::string>& options,
               const std::string& name = "");
    const std::string& Device() const { return m_device; }
    // Stops the board (SIGTERM) unless it ended by itself, and returns its
    // flash as words read back from the dump; empty when there was none.
    std::vector<uint16_t> Stop(ChildResult* result = nullptr);
    // Waits up to limitMs for the board to end by itself, then stops it.
    std::vector<uint16_t> Stop(ChildResult* result, int limitMs);
    std::string Log() const;

private:
    const TempFolder& m_folder;
    std::string m_dump;
    std::string m_log;
    Child m_child;
    std::string m_device;
};

// The image the engine should load from a HEX text, read here on its own
// by the same rules: data records up to the end record, placed by the
// extended address records, those at or above 0x4000 left out, checksums
// not checked.
struct LoadedImage {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kImageSize, 0xFF);
    uint32_t highestStart = 0;  // start of the highest record (end-record adjustment included)
    uint32_t loadEnd = 0;       // one past the highest byte stored
};
LoadedImage LoadImage(const std::string& hexText);

// true when the engine must refuse the image for this chip.
bool ReachesBootArea(const LoadedImage& image, const ChipInfo& chip);

// The flash of a fresh board after the image was written: the program's
// first four words (as the engine's reset-code plan places them) below the
// bootloader, the jump at 0, the bootloader intact.
std::vector<uint16_t> ExpectedFlash(const LoadedImage& image, const ChipInfo& chip);
// A board nobody has written to.
std::vector<uint16_t> FreshFlash(const ChipInfo& chip);

// Program memory words from a dump written by the simulator.
std::vector<uint16_t> WordsFromHex(const std::string& hexText, size_t words);

// First differing word as text, for failure messages; empty when equal.
std::string FirstDifference(const std::vector<uint16_t>& actual, const std::vector<uint16_t>& expected);

// A port server on loopback that takes one connection, reads the first byte
// and closes it, as one whose serial side went away does.
class ClosingServer {
public:
    ClosingServer();
    ~ClosingServer();
    std::string Url() const;  // the --port text; empty when no socket could be had

private:
    int m_listener = -1;
    int m_port = -1;
    std::thread m_thread;
};

// ser2net serving pseudo-terminals on loopback ports, in its own process
// with its own configuration; stopped by its PID when the object goes.
class Ser2Net {
public:
    enum class Mode { Raw, Rfc2217 };
    Ser2Net(const TempFolder& folder, const std::vector<std::string>& devices, Mode mode);
    ~Ser2Net();
    Ser2Net(const Ser2Net&) = delete;
    Ser2Net& operator=(const Ser2Net&) = delete;
    // The --port text for the i-th device; empty when ser2net did not start.
    std::string Url(size_t i) const;
    std::string Log() const { return ReadTextFile(m_log) + ReadTextFile(m_log + ".err"); }

private:
    std::string m_log;
    std::vector<std::string> m_urls;
    std::unique_ptr<Child> m_child;
};
