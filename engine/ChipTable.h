#pragma once
#include <cstddef>
#include <cstdint>

// The two chips the bootloader runs on, selected by the first byte of its
// answer to the wake-up byte.
struct ChipInfo {
    uint8_t answer;          // first answer byte: '8' or 'H'
    bool isF819;
    const char* name;        // "PIC16F819" / "PIC16F88": boot-area box caption
    const char* foundText;   // status text once identified
    int32_t flashWords;      // program memory in 14-bit words
    const uint8_t* jump;     // written at image offset 0: a jump to the bootloader
    size_t jumpSize;
    uint8_t entryPclath;     // PCLATH as the bootloader leaves it when it starts the moved words

    // Image byte offset where the bootloader's area begins; the program's
    // first four words are moved here.
    uint32_t BootBoundary() const { return 2u * static_cast<uint32_t>(flashWords) - 328u; }
    // The 64-byte block that holds the relocated reset vector: the last one sent.
    uint32_t VectorBlock() const { return BootBoundary() / 64u; }
};

constexpr uint8_t kWakeUpByte = 0xC1;
constexpr uint8_t kAnswerAccepted = 'K';
constexpr uint8_t kAnswerResend = 'N';
constexpr uint32_t kImageSize = 32768;
constexpr uint32_t kBlockSize = 64;
constexpr uint32_t kFrameHeaderSize = 3;
constexpr uint32_t kBlockFrameSize = kFrameHeaderSize + kBlockSize + 1;  // 68 bytes on the wire
constexpr int kTickMs = 20;

// Both chips; nullptr when the answer byte names neither.
const ChipInfo* FindChip(uint8_t answer);
const ChipInfo& ChipF819();
const ChipInfo& ChipF88();
