#include "CliArgs.h"

#include "ExitStatus.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

namespace {

// A year: longer than anyone waits for a board, and far inside what the
// millisecond clock can count.
constexpr double kMaxWaitSeconds = 86400.0 * 365;

// The longest --settle: a writer quiet for longer than this has finished.
constexpr int kMaxSettleMs = 600000;

// Our own message for a value CLI11's checks refused: the validators keep
// the first problem here, CLI11 only learns that there was one.
class Problems {
public:
    // A check of text: empty when it is fine, else why not.
    using Check = std::function<std::string(const std::string&)>;

    CLI::Validator Validator(const std::string& option, Check check)
    {
        return CLI::Validator(
            [this, option, check](std::string& text) {
                const std::string why = check(text);
                if (!why.empty() && m_first.empty())
                    m_first = "invalid " + option + " \"" + text + "\": " + why;
                return why;
            },
            "");
    }
    const std::string& First() const { return m_first; }

private:
    std::string m_first;
};

std::string CheckSeconds(const std::string& text)
{
    double value = 0;
    if (!CLI::detail::lexical_cast(text, value) || std::isnan(value) || value <= 0)
        return "give a number of seconds above 0";
    if (value > kMaxWaitSeconds)
        return "at most " + std::to_string(static_cast<long>(kMaxWaitSeconds)) +
               " seconds (a year); leave --wait out to search until Ctrl-C";
    return "";
}

// A whole number above 0, or why not.
std::string CheckPositive(const std::string& text, const std::string& why)
{
    int value = 0;
    return CLI::detail::lexical_cast(text, value) && value > 0 ? "" : why;
}

// The long options as defined on app: those that stand alone (a flag with
// no value of its own, such as --trace) and those that take the next word as
// their value (--port). --monitor is neither: its value comes only as
// --monitor=BAUD.
struct OptionNames {
    std::vector<std::string> flags;
    std::vector<std::string> valued;
};

OptionNames NamesOf(const CLI::App& app)
{
    OptionNames names;
    for (const CLI::Option* option : app.get_options()) {
        if (!option->nonpositional() || !option->get_fnames().empty())
            continue;
        auto& list = option->get_expected_max() == 0 ? names.flags : names.valued;
        for (const std::string& name : option->get_lnames())
            list.push_back("--" + name);
    }
    return names;
}

// A flag given a value (--trace=yes) is refused.
std::string FlagGivenAValue(const OptionNames& names, const std::vector<std::string>& args)
{
    for (const std::string& word : args) {
        if (word == "--")
            break;
        for (const std::string& flag : names.flags)
            if (word.rfind(flag + "=", 0) == 0)
                return "option " + flag + " takes no value";
    }
    return "";
}

// "--log=" gives the option an empty value, as "--log ''" does (CLI11 would
// take the next word instead).
std::vector<std::string> SplitEmptyValues(const OptionNames& names, const std::vector<std::string>& args)
{
    std::vector<std::string> words;
    bool options = true;
    for (const std::string& word : args) {
        options = options && word != "--";
        bool split = false;
        for (const std::string& name : names.valued)
            split = split || (options && word == name + "=");
        if (split)
            words.insert(words.end(), {word.substr(0, word.size() - 1), ""});
        else
            words.push_back(word);
    }
    return words;
}

// After CLI11 found a value missing: the first value option given whose
// value never came (CLI11 takes the words in order and stops there).
std::string MissingValue(const CLI::App& app, const OptionNames& names, const std::vector<std::string>& args)
{
    for (const std::string& word : args)
        for (const std::string& name : names.valued)
            if (word == name && app.get_option(name)->results().empty())
                return "option " + name + " needs a value";
    return "";
}

bool SamePort(const PortArgument& a, const PortArgument& b)
{
    return a.device.empty() ? a.comPort == b.comPort : a.device == b.device;
}

// --read and --verify look at one chip and write nothing to it.
std::string CheckLookOptions(const CliArgs& result)
{
    const bool read = !result.readFile.empty();
    if (!read && !result.verify)
        return "";
    const std::string name = read ? "--read" : "--verify";
    if (read && result.verify)
        return "--read and --verify go one at a time";
    if (result.Bench() || result.monitorBaud > 0 || result.watch)
        return name + " is for one board: it does not go with --repeat, --log, several ports, --monitor or --watch";
    if (result.fullWrite)
        return "--full goes with writing, not with " + name;
    return "";
}

// The one-board extras (--monitor, --reset, --watch) do not go with a gang run.
std::string CheckBoardOptions(const CliArgs& result)
{
    const char* const rest = " is for one board: it does not go with --repeat, --log or several ports";
    if (!result.Bench())
        return "";
    if (result.monitorBaud > 0)
        return std::string("--monitor") + rest;
    if (result.reset)
        return std::string("--reset") + rest;
    if (result.watch)
        return std::string("--watch") + rest;
    return "";
}

// Turns the --port words into ports, each once.
std::string TakePorts(CliArgs& result, const std::vector<std::string>& portTexts)
{
    for (const std::string& text : portTexts) {
        PortArgument port = ParsePortArgument(text);
        if (!port.ok)
            return port.error;
        for (const PortArgument& earlier : result.ports)
            if (SamePort(earlier, port))
                return "port " + text + " given twice";
        result.ports.push_back(port);
    }
    if (!result.ports.empty()) {
        result.hasPort = true;
        result.port = result.ports.front();
    }
    return "";
}

} // namespace

namespace {

// What the options take before it becomes a CliArgs.
struct RawOptions {
    std::vector<std::string> files, portTexts;
    std::string monitorText, resetText;
    bool list = false, help = false, version = false;
    CLI::Option* settle = nullptr;
};

const std::map<std::string, ModemLine> kResetLines = {{"dtr", ModemLine::Dtr}, {"rts", ModemLine::Rts}};

void DefineOptions(CLI::App& app, CliArgs& result, RawOptions& raw, Problems& problems)
{
    app.set_help_flag();  // our own --help text, below
    app.allow_extras();   // unknown options are named by us
    // Options are --name on every platform: on Windows "/x.hex" is a file
    // (on the current drive), not CLI11's Windows-style option.
    app.allow_windows_style_options(false);
    app.add_option("--port", raw.portTexts)->allow_extra_args(false);
    // A value option given twice takes the last value.
    const auto last = CLI::MultiOptionPolicy::TakeLast;
    app.add_option("--wait", result.waitSeconds)->multi_option_policy(last)->check(
        problems.Validator("--wait", CheckSeconds));
    app.add_option("--count", result.count)->multi_option_policy(last)->check(
        problems.Validator("--count", [](const std::string& text) {
            return CheckPositive(text, "give a number of boards above 0");
        }));
    app.add_option("--log", result.logFile)->multi_option_policy(last)->check(
        problems.Validator("--log", [](const std::string& text) {
            return text.empty() ? "give the name of the CSV file to append to" : "";
        }));
    app.add_flag("--trace", result.trace);
    app.add_flag("--force", result.force);
    // Only --monitor=BAUD takes a rate: a word after a bare --monitor is the file.
    app.add_flag("--monitor{19200}", raw.monitorText)->multi_option_policy(last)->check(
        problems.Validator("--monitor", [](const std::string& text) {
            return CheckPositive(text, "give the rate as --monitor=BAUD, such as --monitor=9600");
        }));
    app.add_option("--reset", raw.resetText)
        ->multi_option_policy(last)
        ->check(problems.Validator("--reset", [](const std::string& text) {
            return kResetLines.count(text) != 0 ? "" : "give dtr or rts";
        }));
    app.add_flag("--watch", result.watch);
    raw.settle = app.add_option("--settle", result.settleMs)->multi_option_policy(last)->check(
        problems.Validator("--settle", [](const std::string& text) {
            int value = -1;
            return CLI::detail::lexical_cast(text, value) && value >= 0 && value <= kMaxSettleMs
                       ? ""
                       : "give a whole number of milliseconds from 0 to " + std::to_string(kMaxSettleMs);
        }));
    app.add_flag("--verify", result.verify);
    app.add_option("--read", result.readFile)->multi_option_policy(last)->check(
        problems.Validator("--read", [](const std::string& text) {
            return text.empty() ? "give the name of the HEX file to write" : "";
        }));
    app.add_flag("--full", result.fullWrite);
    app.add_option("--baud", result.maxBaud)->multi_option_policy(last)->check(
        problems.Validator("--baud", [](const std::string& text) {
            int value = 0;
            return CLI::detail::lexical_cast(text, value) && value >= 19200
                       ? ""
                       : "give the fastest rate to use, 19200 or more (such as 38400)";
        }));
    app.add_flag("--repeat", result.repeat);
    app.add_flag("--list", raw.list);
    app.add_flag("-h,--help", raw.help);
    app.add_flag("--version", raw.version);
    app.add_option("file", raw.files);
}

// Empty when the words parse, else what is wrong with them.
std::string ParseWords(CLI::App& app, const Problems& problems, const std::vector<std::string>& args)
{
    const OptionNames names = NamesOf(app);
    std::string error = FlagGivenAValue(names, args);
    if (!error.empty())
        return error;
    // CLI11 takes the words in reverse order, last first.
    const std::vector<std::string> words = SplitEmptyValues(names, args);
    std::vector<std::string> reversed(words.rbegin(), words.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ArgumentMismatch& e) {
        error = MissingValue(app, names, args);
        return error.empty() ? e.what() : error;
    } catch (const CLI::ValidationError& e) {
        return problems.First().empty() ? e.what() : problems.First();
    } catch (const CLI::ParseError& e) {
        return e.what();
    }
    for (const std::string& extra : app.remaining())
        if (extra != "--")
            return "unknown option " + extra.substr(0, extra.find('='));
    return std::string();
}

// The run's options from what was taken, and how they go together.
void TakeRunOptions(CliArgs& result, const RawOptions& raw)
{
    result.reset = !raw.resetText.empty();
    if (result.reset)
        result.resetLine = kResetLines.at(raw.resetText);
    if (!raw.monitorText.empty())
        CLI::detail::lexical_cast(raw.monitorText, result.monitorBaud);
    result.error = TakePorts(result, raw.portTexts);
    if (result.error.empty() && result.count > 0 && !result.repeat)
        result.error = "--count goes with --repeat";
    if (result.error.empty() && raw.settle->count() > 0 && !result.watch)
        result.error = "--settle goes with --watch";
    if (result.error.empty())
        result.error = CheckBoardOptions(result);
    if (result.error.empty())
        result.error = CheckLookOptions(result);
    if (!result.error.empty())
        return;
    if (raw.list) {
        result.mode = CliArgs::Mode::List;
        if (!raw.files.empty())
            result.error = "--list takes no file";
        return;
    }
    if (!result.readFile.empty()) {
        if (!raw.files.empty())
            result.error = "--read takes no HEX file: it writes the one it names";
        return;
    }
    if (raw.files.empty())
        result.error = "no HEX file given";
    else if (raw.files.size() > 1)
        result.error = "only one HEX file at a time (got \"" + raw.files[0] + "\" and \"" + raw.files[1] + "\")";
    else
        result.hexFile = raw.files[0];
}

} // namespace

CliArgs ParseCliArgs(const std::vector<std::string>& args)
{
    CliArgs result;
    RawOptions raw;
    Problems problems;
    CLI::App app;
    DefineOptions(app, result, raw, problems);
    result.error = ParseWords(app, problems, args);
    if (!result.error.empty())
        return result;
    if (raw.help)
        result.mode = CliArgs::Mode::Help;
    else if (raw.version)
        result.mode = CliArgs::Mode::Version;
    else
        TakeRunOptions(result, raw);
    return result;
}

namespace {

std::string ExitStatusList()
{
    std::string list;
    for (const ExitStatusMeaning& row : ExitStatusMeanings()) {
        char number[16];
        std::snprintf(number, sizeof number, "%5d  ", row.status);
        list += number + row.meaning + "\n";
    }
    return list;
}

} // namespace

std::string CliUsage()
{
    return "Usage: fernbow-cli [--port PORT]... [--wait SECONDS] [--repeat [--count N]]\n"
           "                   [--log FILE.csv] [--force] [--trace] FILE.hex\n"
           "       fernbow-cli [--port PORT] [--monitor[=BAUD]] [--reset dtr|rts]\n"
           "                   [--watch [--settle MS]] [--wait SECONDS] [--force] [--trace]\n"
           "                   [--full] [--baud BAUD] FILE.hex\n"
           "       fernbow-cli [--port PORT] --verify FILE.hex | --read OUT.hex\n"
           "       fernbow-cli --list | --help | --version\n"
           "\n"
           "Writes FILE.hex into a PIC16F819 or PIC16F88 through its serial bootloader.\n"
           "\n"
           "  --port PORT     COMn, n, or a device path such as /dev/ttyUSB0 or a\n"
           "                  pseudo-terminal; without it the port last chosen in the\n"
           "                  dialog is used. Give it several times to program a board\n"
           "                  on each port at the same time. tcp://HOST:PORT is a\n"
           "                  port server's raw TCP port (set to 19200 8N1 there);\n"
           "                  rfc2217://HOST:PORT a Telnet port with serial control\n"
           "  --monitor[=BAUD] after programming, keep the port open and copy the\n"
           "                  board's output to standard output and standard input\n"
           "                  to the board, at BAUD (default 19200) 8N1, until Ctrl-C\n"
           "  --reset LINE    pulse the modem line dtr or rts for 50 ms before each\n"
           "                  search, for boards that wire it to the reset pin\n"
           "  --watch         after programming, program again each time the file\n"
           "                  holds a new program (once it has been still for the\n"
           "                  settle time), until Ctrl-C\n"
           "  --settle MS     with --watch: how long the file must stay the same\n"
           "                  before it is taken (default 300); raise it for a\n"
           "                  writer that pauses between parts of the file\n"
           "  --verify        compare the chip with FILE.hex and write nothing (exit\n"
           "                  status 0 when equal, 10 when not)\n"
           "  --read OUT.hex  write the chip's program (and data EEPROM) to OUT.hex\n"
           "  --full          write every row; without it a bootloader that can tell\n"
           "                  (Fernbow's firmware 1.2 on) skips rows it already holds\n"
           "  --baud BAUD     the fastest line rate to switch to (default: as fast as\n"
           "                  port and bootloader go: 250000, 125000 or 38400; 19200\n"
           "                  keeps the line as it is)\n"
           "  --wait SECONDS  give up when no target has answered within SECONDS of\n"
           "                  searching (at most a year); without it the search goes\n"
           "                  on until Ctrl-C\n"
           "  --repeat        when a board is done, wait for the next one on the same\n"
           "                  port, until Ctrl-C (or --count boards); the file is read\n"
           "                  once. A port that goes away is waited for\n"
           "  --count N       with --repeat: stop after N boards on each port\n"
           "  --log FILE      append a CSV line per board: UTC time, port, device, file,\n"
           "                  its SHA-256, chip, outcome, seconds, bytes sent, note\n"
           "  --force         write a file with bad records (wrong checksum, missing or\n"
           "                  non-hex digits) or without an end record all the same;\n"
           "                  without it such a file is refused (exit status 3)\n"
           "  --trace         log every byte sent and received on stderr, with the\n"
           "                  time in ms since the start\n"
           "  --list          show COM0 to COM19, their devices and whether each can\n"
           "                  be opened now\n"
           "  --help          show this text\n"
           "  --version       show the version\n"
           "\n"
           "COMn maps to a device through a link COMn in\n"
           "${XDG_CONFIG_HOME:-~/.config}/Corvane/Fernbow/Ports/ when there is one,\n"
           "otherwise COM1-COM4 = /dev/ttyS0-3, COM5-COM12 = /dev/ttyUSB0-7,\n"
           "COM13-COM19 = /dev/ttyACM0-6; COM0 has a device only through a link.\n"
           "\n"
           "Exit status (with several ports, --repeat or --log: 0 only when every board that\n"
           "started was programmed, otherwise the status of the first port that failed):\n" +
           ExitStatusList();
}
