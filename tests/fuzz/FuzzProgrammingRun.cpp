// A whole programming run: any HEX text, written to a board whose answers
// to the frames are fuzzed too. Input: the HEX text, then (from the end, as
// FuzzedDataProvider takes integers) the chip and up to 32 frame answers.
#include "FakeHost.h"
#include "FlashWriter.h"
#include "ResetCode.h"
#include "FuzzRequire.h"
#include "ScriptedLink.h"

#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

// How the board answers a frame.
std::vector<uint8_t> Answer(uint8_t choice)
{
    switch (choice % 4) {
    case 0: return {kAnswerAccepted};
    case 1: return {kAnswerResend};
    case 2: return {};  // silence
    default: return {'?'};
    }
}

// What a frame may hold: 64 bytes from a 64-byte boundary, nothing above the
// block that takes the moved reset vector, nothing at or above the
// bootloader's area but the moved vector itself (copied to vector), the jump
// at address 0.
void CheckFrame(const std::vector<uint8_t>& frame, const ChipInfo& chip, uint8_t vector[8])
{
    FUZZ_REQUIRE(frame.size() == kBlockFrameSize);
    FUZZ_REQUIRE(frame[2] == kBlockSize);
    uint8_t sum = 0;
    for (uint8_t b : frame) sum = static_cast<uint8_t>(sum + b);
    FUZZ_REQUIRE(sum == 0);

    const uint32_t offset = ((static_cast<uint32_t>(frame[0]) << 8) | frame[1]) * 2;
    FUZZ_REQUIRE(offset % kBlockSize == 0);
    FUZZ_REQUIRE(offset / kBlockSize <= chip.VectorBlock());
    const uint32_t boundary = chip.BootBoundary();
    FUZZ_REQUIRE(offset + kBlockSize <= boundary + 8);
    const uint8_t* payload = frame.data() + kFrameHeaderSize;
    for (uint32_t i = 0; i < kBlockSize; ++i)
        if (offset + i >= boundary) vector[offset + i - boundary] = payload[i];
    if (offset == 0) FUZZ_REQUIRE(std::memcmp(payload, chip.jump, chip.jumpSize) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const ChipInfo& chip = input.ConsumeBool() ? ChipF819() : ChipF88();
    std::vector<uint8_t> answers;
    for (int i = input.ConsumeIntegralInRange(0, 32); i > 0; --i) answers.push_back(input.ConsumeIntegral<uint8_t>());
    const std::string hex = input.ConsumeRemainingBytesAsString();

    FakeHost host;
    ScriptedLink link(host.tick);
    size_t frames = 0;
    link.onWrite = [&](const std::vector<uint8_t>& w) {
        if (w.size() == 1 && w[0] == kWakeUpByte) {
            link.Reply({chip.answer, 0x01}, 1);
            return;
        }
        link.Reply(frames < answers.size() ? Answer(answers[frames]) : std::vector<uint8_t>{kAnswerAccepted}, 1);
        ++frames;
    };
    CFlashWriter writer(link, host);
    MemorySource source(hex.data(), hex.size());
    FUZZ_REQUIRE(writer.LoadHex(source));

    // The program's own first four words, which must land below the
    // bootloader's entry as they are, or behind a clrf PCLATH on a chip whose
    // bootloader leaves PCLATH pointing at its own page.
    uint8_t first[8];
    std::memcpy(first, writer.Image(), sizeof first);
    uint8_t mended[8] = {kClrfPclath & 0xFF, kClrfPclath >> 8};
    std::memcpy(mended + 2, first, 6);
    const bool hasData = writer.HasProgramData();
    writer.Program();
    writer.ReleaseImage();

    const FlashOutcome outcome = writer.LastOutcome();
    if (!hasData || outcome == FlashOutcome::BootAreaOverlap) FUZZ_REQUIRE(link.Frames().empty());
    if (!hasData) FUZZ_REQUIRE(link.writes.empty() && outcome == FlashOutcome::NoProgramData);
    uint32_t lastOffset = 0;
    uint8_t vector[8];
    bool vectorSent = false;
    for (const auto& frame : link.Frames()) {
        CheckFrame(frame, chip, vector);
        // Blocks go out in order; a block is only sent again right after itself.
        const uint32_t offset = ((static_cast<uint32_t>(frame[0]) << 8) | frame[1]) * 2;
        vectorSent = vectorSent || offset / kBlockSize == chip.VectorBlock();
        FUZZ_REQUIRE(offset >= lastOffset);
        lastOffset = offset;
    }
    if (vectorSent)
        FUZZ_REQUIRE(std::memcmp(vector, first, 8) == 0 ||
                     (chip.entryPclath != 0 && std::memcmp(vector, mended, 8) == 0));
    return 0;
}
