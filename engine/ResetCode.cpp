#include "ResetCode.h"
#include <algorithm>

namespace {

constexpr uint16_t kWordMask = 0x3FFF;
constexpr uint8_t kPcl = 0x02;
constexpr uint8_t kPclath = 0x0A;
constexpr int kPageBit = 3;  // PCLATH bit 3 picks the 2K page of GOTO and CALL

// What a mid-range instruction means for the reset code. PCL and PCLATH sit
// at the same address in every bank, so the 7-bit file address is enough.
enum class WordKind {
    Plain,     // runs on to the next word
    SetsPage,  // movwf, clrf, bcf or bsf on PCLATH bit 3: sets the page outright
    Jump,      // GOTO, or movwf / clrf on PCL: to the same place from anywhere
    Relative,  // any other write of PCL: where it lands depends on where it runs
    Call,      // CALL
    Breaks,    // return, retlw, retfie or a skip: the words after it are not a straight run
};

WordKind Classify(uint16_t stored)
{
    const uint16_t w = stored & kWordMask;
    const uint8_t file = w & 0x7F;
    switch (w >> 12) {
    case 0: {  // byte-oriented: 00 oooo dfff ffff
        const unsigned op = (w >> 8) & 0x0F;
        const bool toFile = (w & 0x80) != 0;
        if (op == 0 && !toFile) return (w == 0x0008 || w == 0x0009) ? WordKind::Breaks : WordKind::Plain;
        if (toFile && file == kPcl) return op <= 1 ? WordKind::Jump : WordKind::Relative;
        // movwf / clrf set PCLATH outright; arithmetic on it keeps what came before.
        if (toFile && file == kPclath && op <= 1) return WordKind::SetsPage;
        if (op == 0x0B || op == 0x0F) return WordKind::Breaks;  // decfsz, incfsz
        return WordKind::Plain;
    }
    case 1: {  // bit-oriented: 01 oobb bfff ffff
        const unsigned op = (w >> 10) & 0x03;
        const int bit = (w >> 7) & 0x07;
        if (op >= 2) return WordKind::Breaks;  // btfsc, btfss
        if (file == kPcl) return WordKind::Relative;
        if (file == kPclath && bit == kPageBit) return WordKind::SetsPage;
        return WordKind::Plain;
    }
    case 2:
        return (w & 0x0800) ? WordKind::Jump : WordKind::Call;
    default:  // literal operations; retlw is 11 01xx kkkk kkkk
        return (w >> 10) == 0x0D ? WordKind::Breaks : WordKind::Plain;
    }
}

int FirstJump(const ResetWords& words)
{
    for (int i = 0; i < 4; ++i) {
        const WordKind kind = Classify(words[i]);
        if (kind == WordKind::Jump || kind == WordKind::Relative) return i;
    }
    return -1;
}

}  // namespace

ResetWords ReadResetWords(const uint8_t* bytes)
{
    ResetWords words;
    for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return words;
}

void StoreResetWords(const ResetWords& words, uint8_t* bytes)
{
    for (size_t i = 0; i < words.size(); ++i) {
        bytes[2 * i] = static_cast<uint8_t>(words[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
}

ResetCodeReport PlanResetCode(const ChipInfo& chip, const ResetWords& words)
{
    ResetCodeReport report;
    report.chip = &chip;
    report.moved = words;
    const int jump = FirstJump(words);
    if (jump < 0) {
        report.rule = ResetCodeRule::NoJump;
        report.erased = std::all_of(words.begin(), words.end(),
                                    [](uint16_t w) { return (w & kWordMask) == kWordMask; });
        return report;
    }
    if (chip.entryPclath == 0) {
        report.rule = ResetCodeRule::Copied;
        return report;
    }

    bool straight = true;
    for (int i = 0; i < jump; ++i) {
        const WordKind kind = Classify(words[i]);
        if (kind == WordKind::SetsPage || kind == WordKind::Call) {
            report.rule = kind == WordKind::SetsPage ? ResetCodeRule::SetsItsPage : ResetCodeRule::NotMendable;
            report.decidingWord = i;
            return report;
        }
        if (kind == WordKind::Breaks) straight = false;
    }
    report.decidingWord = jump;
    // With clrf PCLATH in front only three of the program's words fit; the
    // words after an unconditional jump never run, so none reachable is lost.
    // A jump relative to PCL would land elsewhere from the moved copy.
    if (!straight || jump == 3 || Classify(words[jump]) == WordKind::Relative) {
        report.rule = ResetCodeRule::NotMendable;
        return report;
    }
    report.rule = ResetCodeRule::Mended;
    report.moved = {kClrfPclath, words[0], words[1], words[2]};
    return report;
}

std::string ResetCodeNote(const ResetCodeReport& report)
{
    return report.rule == ResetCodeRule::Mended ? "reset code adjusted for the bootloader: clrf PCLATH added"
                                                : std::string();
}

std::string ResetCodeWarning(const ResetCodeReport& report)
{
    if (report.rule == ResetCodeRule::NoJump) {
        if (report.erased)
            return "The program has nothing at address 0, so after a reset the chip runs into the bootloader "
                   "and never starts the program. Put a goto to the program's start at address 0.";
        return "The program's first four words (addresses 0 to 3) hold no goto, so after a reset the chip runs "
               "on into the bootloader and never starts the program. End the reset code with a goto to the "
               "program's start within those four words.";
    }
    if (report.rule != ResetCodeRule::NotMendable) return {};

    const WordKind kind = Classify(report.moved[static_cast<size_t>(report.decidingWord)]);
    const char* what = kind == WordKind::Call ? "calls" : "jumps";
    return "The program " + std::string(what) + " at address " + std::to_string(report.decidingWord) +
           " before it sets PCLATH, in a way that cannot be adjusted for the bootloader. The " +
           std::string(report.chip ? report.chip->name : "chip") +
           "'s bootloader starts it with PCLATH still on its own page, so the program will not start. Begin "
           "the program at address 0 with pagesel start (or clrf PCLATH) and goto start, before any call, "
           "return or skip.";
}
