#include "ChipTable.h"

namespace {
// GOTO 0x760
const uint8_t kJumpF819[] = {0x60, 0x2F};
// BSF PCLATH,3 ; GOTO 0x760  -> word 0xF60. The bootloader lives in page 1
// and reaches the moved words with a GOTO from there, so PCLATH bit 3 is
// still set when they run.
const uint8_t kJumpF88[] = {0x8A, 0x15, 0x60, 0x2F};

const ChipInfo kF819 = {'8', true, "PIC16F819", "PIC16F819 found", 0x800, kJumpF819, sizeof kJumpF819, 0x00};
const ChipInfo kF88 = {'H', false, "PIC16F88", "PIC16F88 found", 0x1000, kJumpF88, sizeof kJumpF88, 0x08};
}  // namespace

const ChipInfo& ChipF819() { return kF819; }
const ChipInfo& ChipF88() { return kF88; }

const ChipInfo* FindChip(uint8_t answer)
{
    if (answer == kF819.answer) return &kF819;
    if (answer == kF88.answer) return &kF88;
    return nullptr;
}
