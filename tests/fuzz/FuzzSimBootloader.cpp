// The simulator's bootloader state machine on any byte stream. Input: one
// byte choosing the chip, then pairs (gap, byte): the byte arrives gap x
// 0.5 ms after the previous one; a gap of 255 lets two idle seconds pass
// instead.
#include "Bootloader.h"
#include "FlashModel.h"
#include "FuzzRequire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const ChipInfo& chip = (data[0] & 1) ? ChipF819() : ChipF88();
    FlashModel flash(chip);
    Bootloader boot(flash, BootFaults(), BootTiming());

    uint64_t now = 0;
    for (size_t i = 1; i + 1 < size; i += 2) {
        if (data[i] == 255) {
            now += 2000000000ull;
            boot.Idle(now);
            continue;
        }
        now += data[i] * 500000ull;
        const BootReply reply = boot.Feed(data[i + 1], now);
        // A wake-up gets two bytes, a frame one, anything else none.
        FUZZ_REQUIRE(reply.bytes.size() <= 2);
        FUZZ_REQUIRE(!reply.hangUp);
    }

    // The bootloader never overwrites itself, and words stay 14 bits wide.
    for (uint32_t w = flash.BootEntry(); w < flash.Words(); ++w)
        FUZZ_REQUIRE(flash.Word(w) == FlashModel::BootCodeWord(w - flash.BootEntry()));
    for (uint16_t w : flash.AllWords()) FUZZ_REQUIRE(w <= FlashModel::kErased);
    FUZZ_REQUIRE(boot.BlocksAccepted() + boot.FramesRefused() <= size / 2);
    return 0;
}
