#include "SimOptions.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>

namespace {

const char kUsage[] =
    "Usage: fernbow-sim [options]\n"
    "A simulated PIC16F819 or PIC16F88 board with its serial bootloader, on a\n"
    "pseudo-terminal. The first line on standard output is the device path for\n"
    "the host (e.g. fernbow-cli --port PATH FILE.hex). Runs until interrupted.\n"
    "\n"
    "Board:\n"
    "  --chip 819|88        the chip on the board (default 88)\n"
    "  --com N              also appear as COMN: a link in\n"
    "                       ${XDG_CONFIG_HOME:-~/.config}/Corvane/Fernbow/Ports/\n"
    "  --instant            no line or flash timing (default: 19200 baud, 10 bits\n"
    "                       a byte, and the flash write time for every block)\n"
    "  --flash-ms N         flash write time of one block (default 18)\n"
    "  --dump FILE.hex      write the whole program memory (bootloader included)\n"
    "                       as Intel HEX when the board stops\n"
    "  --log FILE|-         log every wake-up and frame (- for standard error)\n"
    "  --exit-after N       stop after N programming sessions (a session ends\n"
    "                       after a silence of --idle-ms once a block was written)\n"
    "  --idle-ms N          silence that ends a session (default 1000)\n"
    "  --boards N           board after board, as on a production bench: each\n"
    "                       board ends its connection after one session and a\n"
    "                       fresh board comes up on a new pseudo-terminal (its\n"
    "                       path printed on a line of its own, COMN moved to it);\n"
    "                       stops after N boards. --dump holds the last board\n"
    "  --faulty-board K     with --boards: the faults below apply to board K only\n"
    "  --echo               once a session has ended the program runs: it greets\n"
    "                       and sends back every byte, until a reset\n"
    "  --reset-control      with --com N: take reset pulses from fernbow-cli\n"
    "                       --reset through a FIFO COMN.reset beside the link (a\n"
    "                       pseudo-terminal has no modem lines); each is logged\n"
    "\n"
    "Faults (blocks are numbered as image byte offset / 64):\n"
    "  --ignore-wakeups N   give no answer to the first N wake-up bytes\n"
    "  --half-answer        answer a wake-up with the chip byte only\n"
    "  --answer X           answer with X instead of the chip byte (a character\n"
    "                       or 0xNN)\n"
    "  --version-byte B     the wake-up answer's second byte (0 to 255 or 0xNN;\n"
    "                       default 0x11), as another loader would send it\n"
    "  --refuse-all         answer every frame \"N\" and write nothing\n"
    "  --nack B[:K]         answer \"N\" to the first K frames of block B (default 1)\n"
    "  --silent B[:K]       leave K frames of block B unanswered, after any\n"
    "                       --nack refusals (default: all of them)\n"
    "  --garbage B          write block B but answer it with '?'\n"
    "  --hangup-after N     close the line and exit once N blocks were written\n"
    "  --help               this text\n"
    "\n"
    "Chip model (the real bootloader firmware on a simulated chip, in gpsim):\n"
    "  --chip-model         run the firmware in gpsim with Fernbow's plug-in, in\n"
    "                       real time; --chip, --com, --dump, --log, --exit-after\n"
    "                       and --idle-ms apply, the faults above do not.\n"
    "                       SIGUSR1 resets the chip (MCLR)\n"
    "  --firmware FILE.hex  the firmware (default: the one built or installed)\n"
    "  --plugin FILE.so     the gpsim plug-in (default: the one built or installed)\n"
    "  --corrupt N          corrupt the Nth byte the chip receives (from 1)\n"
    "  --drop N             leave out the Nth byte the chip receives\n"
    "  --drop-fast N        leave out the Nth byte the chip receives while the\n"
    "                       host's port is not at 19200 baud (a rate switch the\n"
    "                       chip missed)\n"
    "  --unpaced            simulated time as fast as gpsim runs\n"
    "\n"
    "Exit status: 0 when stopped (signal, --exit-after, --hangup-after), 1 on a\n"
    "system error (no pseudo-terminal, dump not written), 2 on a usage error.\n";

// "B" or "B:K": one block and how many of its frames.
struct BlockCount {
    uint32_t block = 0;
    uint32_t count = 0;
    bool countGiven = false;
};

bool ParseNumber(const std::string& text, uint32_t& value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFul) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// A number (decimal, 0x hex) in [low, high], or the text why not.
CLI::Validator NumberIn(uint32_t low, uint32_t high, const std::string& what)
{
    return CLI::Validator(
        [=](std::string& text) {
            uint32_t n = 0;
            return ParseNumber(text, n) && n >= low && n <= high ? std::string() : "takes " + what + ", not " + text;
        },
        "");
}

CLI::Validator BlockCountText()
{
    return CLI::Validator(
        [](std::string& text) {
            const size_t colon = text.find(':');
            uint32_t n = 0;
            const bool ok = colon == std::string::npos
                                ? ParseNumber(text, n)
                                : ParseNumber(text.substr(0, colon), n) && ParseNumber(text.substr(colon + 1), n);
            return ok ? std::string() : "takes BLOCK or BLOCK:COUNT, not " + text;
        },
        "");
}

BlockCount ToBlockCount(const std::string& text, uint32_t defaultCount)
{
    BlockCount bc;
    const size_t colon = text.find(':');
    bc.count = defaultCount;
    if (colon == std::string::npos) {
        ParseNumber(text, bc.block);
    } else {
        ParseNumber(text.substr(0, colon), bc.block);
        ParseNumber(text.substr(colon + 1), bc.count);
    }
    return bc;
}

CLI::Validator AnswerByteText()
{
    return CLI::Validator(
        [](std::string& text) {
            uint32_t v = 0;
            const bool ok = text.size() == 1 || (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
                                                 ParseNumber(text, v) && v <= 0xFF);
            return ok ? std::string() : "takes one character or 0xNN, not " + text;
        },
        "");
}

int ToAnswerByte(const std::string& text)
{
    if (text.size() == 1) return static_cast<unsigned char>(text[0]);
    uint32_t v = 0;
    ParseNumber(text, v);
    return static_cast<int>(v);
}

}  // namespace

const char* SimUsage()
{
    return kUsage;
}

namespace {

// What the options take before it becomes SimOptions.
struct RawSimOptions {
    std::string chip, answer;
    uint32_t com = 0;
    uint32_t versionByte = 0;
    CLI::Option* versionOpt = nullptr;
    std::vector<std::string> nacks, silences;
    std::vector<uint32_t> garbage;
    uint32_t hangUpAfter = 0;
    CLI::Option* help = nullptr;
    CLI::Option* chipOpt = nullptr;
    CLI::Option* comOpt = nullptr;
    CLI::Option* hangUpOpt = nullptr;
    CLI::Option* chipModel = nullptr;
    std::vector<CLI::Option*> ownModel;       // the bootloader model's alone
    std::vector<CLI::Option*> chipModelOnly;  // the chip model's alone
};

void DefineSimOptions(CLI::App& app, SimArgs& result, RawSimOptions& raw)
{
    SimOptions& o = result.options;
    app.set_help_flag();
    app.allow_extras(false);
    app.allow_windows_style_options(false);
    const auto last = CLI::MultiOptionPolicy::TakeLast;
    raw.help = app.add_flag("-h,--help", result.help);
    raw.chipOpt = app.add_option("--chip", raw.chip)->multi_option_policy(last)->check(CLI::Validator(
        [](std::string& v) {
            return v == "819" || v == "16f819" || v == "PIC16F819" || v == "88" || v == "16f88" || v == "PIC16F88"
                       ? std::string()
                       : "takes 819 or 88, not " + v;
        },
        ""));
    raw.comOpt =
        app.add_option("--com", raw.com)->multi_option_policy(last)->check(NumberIn(0, 255, "a port number"));
    raw.ownModel = {
        app.add_flag("--instant", o.instant),
        app.add_option("--flash-ms", o.flashMs)->multi_option_policy(last)->check(NumberIn(0, 10000, "0 to 10000")),
        app.add_option("--boards", o.boards)->multi_option_policy(last)->check(NumberIn(1, 0xFFFFFFFF, "a number of boards")),
        app.add_option("--faulty-board", o.faultyBoard)
            ->multi_option_policy(last)
            ->check(NumberIn(1, 0xFFFFFFFF, "a board number")),
        app.add_option("--ignore-wakeups", o.faults.ignoreWakeups)
            ->multi_option_policy(last)
            ->check(NumberIn(0, 0xFFFFFFFF, "a count")),
        app.add_flag("--half-answer", o.faults.halfAnswer),
        app.add_option("--answer", raw.answer)->multi_option_policy(last)->check(AnswerByteText()),
        raw.versionOpt = app.add_option("--version-byte", raw.versionByte)
                             ->multi_option_policy(last)
                             ->check(NumberIn(0, 0xFF, "a byte, 0 to 255 or 0x00 to 0xFF")),
        app.add_flag("--refuse-all", o.faults.refuseAll),
        app.add_option("--nack", raw.nacks)->check(BlockCountText()),
        app.add_option("--silent", raw.silences)->check(BlockCountText()),
        app.add_option("--garbage", raw.garbage)->check(NumberIn(0, 0xFFFFFFFF, "a block number")),
        raw.hangUpOpt = app.add_option("--hangup-after", raw.hangUpAfter)
                            ->multi_option_policy(last)
                            ->check(NumberIn(0, 0xFFFFFFFF, "a number of blocks")),
        app.add_flag("--echo", o.echo),
        app.add_flag("--reset-control", o.resetControl),
    };
    app.add_option("--dump", o.dump)->multi_option_policy(last);
    app.add_option("--log", o.log)->multi_option_policy(last);
    app.add_option("--exit-after", o.exitAfter)
        ->multi_option_policy(last)
        ->check(NumberIn(1, 0xFFFFFFFF, "a number of sessions"));
    app.add_option("--idle-ms", o.idleMs)->multi_option_policy(last)->check(NumberIn(1, 3600000, "1 to 3600000"));
    raw.chipModel = app.add_flag("--chip-model", o.chipModel);
    raw.chipModelOnly = {
        app.add_option("--firmware", o.model.firmware)->multi_option_policy(last),
        app.add_option("--plugin", o.model.plugin)->multi_option_policy(last),
        app.add_option("--corrupt", o.model.corruptByte)
            ->multi_option_policy(last)
            ->check(NumberIn(1, 0xFFFFFFFF, "a byte number from 1")),
        app.add_option("--drop", o.model.dropByte)
            ->multi_option_policy(last)
            ->check(NumberIn(1, 0xFFFFFFFF, "a byte number from 1")),
        app.add_option("--drop-fast", o.model.dropFastByte)
            ->multi_option_policy(last)
            ->check(NumberIn(1, 0xFFFFFFFF, "a byte number from 1")),
        app.add_flag("--unpaced", o.model.unpaced),
    };
}

// The board's options from what was taken; an error where they do not go together.
void TakeSimOptions(SimArgs& result, const RawSimOptions& raw)
{
    SimOptions& o = result.options;
    if (raw.chipOpt->count() > 0) o.chip = raw.chip.find("819") != std::string::npos ? &ChipF819() : &ChipF88();
    if (raw.comOpt->count() > 0) o.com = static_cast<int>(raw.com);
    if (!raw.answer.empty()) o.faults.answerByte = ToAnswerByte(raw.answer);
    if (raw.versionOpt->count() > 0) o.faults.versionByte = static_cast<int>(raw.versionByte);
    for (const std::string& text : raw.nacks) {
        const BlockCount bc = ToBlockCount(text, 1);
        o.faults.nacks[bc.block] = bc.count;
    }
    for (const std::string& text : raw.silences) {
        const BlockCount bc = ToBlockCount(text, 0);
        o.faults.silences[bc.block] = bc.count;
    }
    o.faults.garbage.insert(raw.garbage.begin(), raw.garbage.end());
    if (raw.hangUpOpt->count() > 0) o.faults.hangUpAfter = raw.hangUpAfter;

    if (o.resetControl && o.com < 0) {
        result.error = "--reset-control goes with --com N";
    } else if (raw.chipModel->count() > 0) {
        for (const CLI::Option* opt : raw.ownModel)
            if (opt->count() > 0) result.error = opt->get_name() + " is for the bootloader model, not --chip-model";
    } else {
        for (const CLI::Option* opt : raw.chipModelOnly)
            if (opt->count() > 0) result.error = "--firmware, --plugin, --corrupt, --drop, --drop-fast and --unpaced need --chip-model";
    }
}

} // namespace

SimArgs ParseSimArgs(const std::vector<std::string>& args)
{
    SimArgs result;
    RawSimOptions raw;
    CLI::App app("fernbow-sim");
    DefineSimOptions(app, result, raw);
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        if (raw.help->count() > 0)
            result.help = true;
        else
            result.error = e.what();  // CLI11 names the option: "--com: takes a port number, not 300"
        return result;
    }
    if (!result.help)
        TakeSimOptions(result, raw);
    return result;
}
