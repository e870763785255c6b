#pragma once
#include "ChipTable.h"
#include <array>
#include <cstdint>
#include <string>

// The program's first four words are moved just below the bootloader's entry,
// and the bootloader starts them from there. On a chip whose bootloader
// leaves PCLATH pointing at its own page, a bare GOTO among those words lands
// in that page instead of the program's; this decides what to place there.
using ResetWords = std::array<uint16_t, 4>;

enum class ResetCodeRule {
    Copied,       // the chip's bootloader leaves PCLATH 0: copied unchanged
    SetsItsPage,  // sets PCLATH bit 3 before any jump: copied unchanged
    Mended,       // clrf PCLATH put in front of the words up to the jump
    NotMendable,  // jumps or calls before setting its page, in a way that cannot be mended
    NoJump,       // no GOTO (nor write of PCL) at all: runs on into the bootloader
};

struct ResetCodeReport {
    const ChipInfo* chip = nullptr;  // the chip planned for
    ResetWords moved{};           // the four words to place below the bootloader's entry
    ResetCodeRule rule = ResetCodeRule::Copied;
    int decidingWord = -1;        // index of the word the rule rests on; -1 when none
    bool erased = false;          // nothing at address 0: all four words erased

    // The moved words cannot start the program: the user must change it.
    bool Warns() const { return rule == ResetCodeRule::NotMendable || rule == ResetCodeRule::NoJump; }
};

constexpr uint16_t kClrfPclath = 0x018A;

// The four words from / into 8 image bytes (little-endian pairs).
ResetWords ReadResetWords(const uint8_t* bytes);
void StoreResetWords(const ResetWords& words, uint8_t* bytes);

// Pure: chooses the moved words for chip from the program's first four words
// (as stored, erased = 0x3FFF or 0xFFFF).
ResetCodeReport PlanResetCode(const ChipInfo& chip, const ResetWords& words);

// One line for the user when the words were mended; empty otherwise.
std::string ResetCodeNote(const ResetCodeReport& report);
// What will go wrong and what to change in the program, in plain words; empty
// when the moved words start the program.
std::string ResetCodeWarning(const ResetCodeReport& report);
