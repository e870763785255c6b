#include "CliArgs.h"

#include <cmath>
#include <cstdlib>

namespace {

// Splits "--name=value"; value is left empty and hasValue false otherwise.
bool SplitOption(const std::string& word, std::string& name, std::string& value)
{
    auto eq = word.find('=');
    if (eq == std::string::npos) {
        name = word;
        return false;
    }
    name = word.substr(0, eq);
    value = word.substr(eq + 1);
    return true;
}

// A year: longer than anyone waits for a board, and far inside what the
// millisecond clock can count.
constexpr double kMaxWaitSeconds = 86400.0 * 365;

// Empty when text is a usable number of seconds (stored in seconds), or why not.
std::string ParseSeconds(const std::string& text, double& seconds)
{
    char* end = nullptr;
    const double value = text.empty() ? 0.0 : std::strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str() || *end != '\0' || std::isnan(value) || value <= 0)
        return "give a number of seconds above 0";
    if (value > kMaxWaitSeconds)
        return "at most " + std::to_string(static_cast<long>(kMaxWaitSeconds)) +
               " seconds (a year); leave --wait out to search until Ctrl-C";
    seconds = value;
    return std::string();
}

} // namespace

CliArgs ParseCliArgs(const std::vector<std::string>& args)
{
    CliArgs result;
    std::vector<std::string> files;
    bool list = false, help = false, version = false;
    bool optionsEnded = false;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (optionsEnded || word.empty() || word[0] != '-' || word == "-") {
            files.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name, value;
        bool inlineValue = SplitOption(word, name, value);
        const bool takesValue = name == "--port" || name == "--wait";
        if (!takesValue && inlineValue) {
            result.error = "option " + name + " takes no value";
            return result;
        }
        if (takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                result.error = "option " + name + " needs a value";
                return result;
            }
            value = args[++i];
        }
        if (name == "--port") {
            result.port = ParsePortArgument(value);
            if (!result.port.ok) {
                result.error = result.port.error;
                return result;
            }
            result.hasPort = true;
        } else if (name == "--wait") {
            const std::string why = ParseSeconds(value, result.waitSeconds);
            if (!why.empty()) {
                result.error = "invalid --wait \"" + value + "\": " + why;
                return result;
            }
        } else if (name == "--trace") {
            result.trace = true;
        } else if (name == "--list") {
            list = true;
        } else if (name == "--help" || name == "-h") {
            help = true;
        } else if (name == "--version") {
            version = true;
        } else {
            result.error = "unknown option " + name;
            return result;
        }
    }

    if (help) {
        result.mode = CliArgs::Mode::Help;
        return result;
    }
    if (version) {
        result.mode = CliArgs::Mode::Version;
        return result;
    }
    if (list) {
        result.mode = CliArgs::Mode::List;
        if (!files.empty())
            result.error = "--list takes no file";
        return result;
    }
    if (files.empty())
        result.error = "no HEX file given";
    else if (files.size() > 1)
        result.error = "only one HEX file at a time (got \"" + files[0] + "\" and \"" + files[1] + "\")";
    else
        result.hexFile = files[0];
    return result;
}

std::string CliUsage()
{
    return "Usage: fernbow-cli [--port PORT] [--wait SECONDS] [--trace] FILE.hex\n"
           "       fernbow-cli --list | --help | --version\n"
           "\n"
           "Writes FILE.hex into a PIC16F819 or PIC16F88 through its serial bootloader.\n"
           "\n"
           "  --port PORT     COMn, n, or a device path such as /dev/ttyUSB0 or a\n"
           "                  pseudo-terminal; without it the port last chosen in the\n"
           "                  dialog is used\n"
           "  --wait SECONDS  give up when no target has answered within SECONDS of\n"
           "                  searching (at most a year); without it the search goes\n"
           "                  on until Ctrl-C\n"
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
           "Exit status:\n"
           "    0  programmed\n"
           "    1  bad command line\n"
           "    2  the port cannot be opened\n"
           "    3  the HEX file cannot be opened or read, or holds no program data\n"
           "    4  the program reaches into the bootloader's area (refused)\n"
           "    5  unexpected answer from the target\n"
           "    6  timeout: a block went unanswered\n"
           "    7  transmission problem: a block was refused ten times\n"
           "    8  no target answered within --wait\n"
           "    9  internal error\n"
           "  130  interrupted (Ctrl-C or SIGTERM)\n";
}
