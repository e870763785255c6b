#pragma once
#include "ChipTable.h"

#include <cstdint>
#include <string>

// What Fernbow's own bootloader (firmware 1.2 on) understands beyond the
// inherited dialogue. Its frames have the 68-byte shape of a block frame,
// but their bytes sum to kExtendedSum instead of 0: every loader that checks
// its checksum refuses them with "N" and writes nothing. The command sits
// where a block frame has its count byte.
namespace LoaderWire {
constexpr uint8_t kExtendedSum = 0x5A;
// The first version byte that may belong to a loader that knows the extension.
constexpr uint8_t kFirstExtendedVersion = 0x12;

enum Command : uint8_t {
    kAsk = 'A',               // -> 'X', abilities, start high, start low, check
    kRate = 'B',              // body[0] = rate code -> 'B' at the old rate, then the switch
    kRead = 'R',              // body[0] = space, body[1] = count -> 2 bytes a word, check byte
    kWriteIfDifferent = 'W',  // a block frame that draws 'S' when the row already holds it
    kWriteEeprom = 'E',       // 32 bytes of data EEPROM -> 'K', 'S' or 'N'
};
constexpr uint8_t kAskAddressHigh = 0xFF, kAskAddressLow = 0xE0;  // a row no loader accepts
constexpr uint8_t kAskReply = 'X';
constexpr uint8_t kAskReplySize = 5;
constexpr uint8_t kRateReply = 'B';
constexpr uint8_t kAnswerSame = 'S';
constexpr uint8_t kSpaceProgram = 0x80, kSpaceEeprom = 0x00;
constexpr uint32_t kMaxReadWords = 256;
// An EEPROM frame's high byte for an address the file leaves alone.
constexpr uint8_t kEepromKeep = 0xFF;
constexpr uint32_t kEepromBytes = 256;
// Where a HEX file (and a verify's first difference) puts data EEPROM byte 0.
constexpr uint32_t kEepromWordAddress = 0x2100;
constexpr uint32_t kEepromRowBytes = 32;

enum Ability : uint8_t {
    kRate38400 = 1 << 0,
    kRate125000 = 1 << 1,
    kRate250000 = 1 << 2,
    kCanRead = 1 << 3,
    kCanWriteEeprom = 1 << 4,
    kCanSkipSame = 1 << 5,
};

constexpr int kBaseRate = 19200;
// The rates above the base, fastest first, with their ability bit and the
// code the rate command carries.
struct FastRate {
    int baud;
    Ability ability;
    uint8_t code;
};
constexpr FastRate kFastRates[] = {{250000, kRate250000, 3}, {125000, kRate125000, 2}, {38400, kRate38400, 1}};
}  // namespace LoaderWire

// What the bootloader said of itself. version is the wake-up answer's second
// byte; abilities and startWord come only from a loader that answered the
// ask frame (extended), otherwise 0.
struct LoaderInfo {
    bool extended = false;
    uint8_t version = 0;
    uint8_t abilities = 0;
    uint32_t startWord = 0;  // where the loader's protected area starts

    bool Has(uint8_t ability) const { return extended && (abilities & ability) != 0; }
};

// Takes the ask frame's answer: true (and info filled in) only when it is
// the answer of a loader that knows the extension, for chip.
bool TakeAskReply(const uint8_t reply[LoaderWire::kAskReplySize], const ChipInfo& chip, LoaderInfo& info);

// "bootloader 1.2: 250000 baud, read, EEPROM"; for a loader without the
// extension "bootloader 1.1" (its version byte, as it stands).
std::string DescribeLoader(const LoaderInfo& info);

// The fastest rate the loader offers that is at most cap (0: no cap);
// LoaderWire::kBaseRate when there is none.
int FastestOfferedRate(const LoaderInfo& info, int cap);
