#pragma once
// The loader's table of cases: HEX texts and what loading each must give.
// The loader test runs them; the fuzz build seeds its corpus with them.
#include "EngineFixture.h"
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct LoadCase {
    const char* name;
    std::string hex;
    uint32_t totalBytes;
    uint32_t highAddr;
    uint32_t highCount;
    std::vector<std::pair<uint32_t, uint8_t>> bytes;  // image offset -> value
    uint32_t badRecords = 0;
    uint32_t skippedHigh = 0;  // records at or above 0x4000, left out
    uint32_t firstBadLine = 0;
    bool missingEnd = false;
};

inline std::vector<std::pair<uint32_t, uint8_t>> Span(uint32_t at, const std::vector<uint8_t>& data)
{
    std::vector<std::pair<uint32_t, uint8_t>> v;
    for (size_t i = 0; i < data.size(); ++i) v.emplace_back(at + static_cast<uint32_t>(i), data[i]);
    return v;
}
template <typename... T>
inline std::vector<std::pair<uint32_t, uint8_t>> Join(T... parts)
{
    std::vector<std::pair<uint32_t, uint8_t>> v;
    (v.insert(v.end(), parts.begin(), parts.end()), ...);
    return v;
}

inline const LoadCase kLoadCases[] = {
    {"TypeFourThenDataThenAbove4000",
     Record(0, {0, 0}, 4) + Record(0, Bytes(16, 0x10)) + Record(0x10, Bytes(16, 0x20)) +
         Record(0x400E, {0x38, 0x3F}) + EndRecord(),
     36, 0x10, 16, Join(Span(0, Bytes(16, 0x10)), Span(0x10, Bytes(16, 0x20))), 0, 1},
    // ID locations and configuration words are left out, and what follows loads.
    {"RecordsAt4000AndAboveSkippedAndTheLoadGoesOn",
     Record(0x4000, Bytes(8, 1)) + Record(0x4002, {9, 9}) + Record(0x0100, {7}) + EndRecord(),
     11, 0x100, 1, Span(0x100, {7}), 0, 2},
    {"EndRecordRaisesHighAddrForLongRecord",
     Record(0, {1}) + Record(0x20, Bytes(80)) + EndRecord(), 81, 0x30, 80,
     Join(Span(0, {1}), Span(0x20, Bytes(80)))},
    {"SixtyFourBytesNoAdjustment", Record(0, {1}) + Record(0x20, Bytes(64)) + EndRecord(), 65, 0x20, 64,
     Join(Span(0, {1}), Span(0x20, Bytes(64)))},
    {"OnlyRecordAtZero", Record(0, Bytes(100)) + EndRecord(), 100, 0, 0, Span(0, Bytes(100))},
    {"SameHighestAddressKeepsFirstCount", Record(0x40, Bytes(16)) + Record(0x40, Bytes(8, 0x80)) + EndRecord(),
     24, 0x40, 16, Join(Span(0x40, Bytes(8, 0x80)), Span(0x48, Bytes(8, 8)))},
    {"OddCountStoresExactly", Record(0x10, {1, 2, 3}) + EndRecord(), 3, 0x10, 3, Span(0x10, {1, 2, 3})},
    {"LowerCaseDigits", ":02000000abcd86\n" + EndRecord(), 2, 0, 0, Span(0, {0xAB, 0xCD})},
    {"WrongChecksumLoadsAndIsCounted", ":0200000012340F\n" + EndRecord(), 2, 0, 0, Span(0, {0x12, 0x34}), 1, 0, 1},
    {"MissingChecksumBeforeNextRecord", ":020000001234:0200020056782E\n" + EndRecord(), 4, 2, 2,
     Span(0, {0x12, 0x34, 0x56, 0x78}), 1, 0, 1},
    {"DataAfterEndRecordIgnored", Record(0, {1, 2}) + EndRecord() + Record(0x10, {3, 4}), 2, 0, 0, Span(0, {1, 2})},
    {"RecordAbove4000BeforeProgramSkipped", Record(0x5000, {1}) + Record(0, {2}) + EndRecord(), 2, 0, 0,
     Span(0, {2}), 0, 1},
    {"OnlyConfigurationWords", Record(0x400E, {0x38, 0x3F}) + EndRecord(), 2, 0, 0, {}, 0, 1},
    {"OnlyAnEndRecord", EndRecord(), 0, 0, 0, {}},
    // Only type 00 stores bytes: an address record after the program used
    // to overwrite its first word.
    {"ExtendedLinearAddressAfterDataStoresNothing", Record(0, {1, 2}) + Record(0, {0, 0}, 4) + EndRecord(), 4, 0,
     0, Span(0, {1, 2})},
    {"ExtendedLinearAddressMovesLaterData",
     Record(0, {0, 1}, 4) + Record(0, {5}) + Record(0, {0, 0}, 4) + Record(0x10, {6}) + EndRecord(), 6, 0x10, 1,
     Span(0x10, {6}), 0, 1},
    {"ExtendedSegmentAddressIsSixteenTimes", Record(0, {0x01, 0x00}, 2) + Record(0x20, {7}) + EndRecord(), 3,
     0x1020, 1, Span(0x1020, {7})},
    {"StartAddressRecordsSkipped",
     Record(0, {0, 0, 0x12, 0x34}, 3) + Record(0, {0, 0, 0, 0x10}, 5) + Record(0, {1}) + EndRecord(), 9, 0, 0,
     Span(0, {1})},
    {"UnknownTypeSkippedAndCountedBad", Record(0, {1, 2}, 6) + Record(4, {3}) + Record(0, {}, 0x11) + EndRecord(),
     3, 4, 1, Span(4, {3}), 2, 0, 1},
    {"AddressRecordOfWrongLengthCountedBad", Record(0, {0, 1, 2}, 4) + Record(0, {9}) + EndRecord(), 4, 0, 0,
     Span(0, {9}), 1, 0, 1},
    // 'G' would read as 0 and make the checksum match: such a record stores nothing.
    {"NonHexDigitStoresNothing", Record(0, {1}) + ":02000200G234C6\n" + EndRecord(), 1, 0, 0, Span(0, {1}), 1, 0, 2},
    {"NonHexDigitInHeaderStoresNothing", ":0200G0000234C8\n" + Record(4, {1}) + EndRecord(), 1, 4, 1, Span(4, {1}), 1,
     0, 1},
    {"NonHexChecksumLoadsAndIsCounted", ":020000000234C?\n" + EndRecord(), 2, 0, 0, Span(0, {0x02, 0x34}), 1, 0, 1},
    // A line of text that happens to hold a colon is no record.
    {"TextWithAColonStoresNothing", "SigPnd:\t0000000000000000\n" + Record(0x10, {1}) + EndRecord(), 1, 0x10, 1,
     Span(0x10, {1}), 1, 0, 1},
    // A count byte larger than the line: the record never takes the next
    // line's characters, and the next record loads whole.
    {"CountBeyondItsLineStoresNothing",
     Record(0, {1, 2}) + ":0C001000" + std::string(16, 'A') + "A8\n" + Record(0x20, {3, 4}) + EndRecord(), 4, 0x20,
     2, Join(Span(0, {1, 2}), Span(0x20, {3, 4})), 1, 0, 2},
    {"MoreDigitsThanTheCountStoresNothing", ":01000000AABB99\n" + Record(4, {1}) + EndRecord(), 1, 4, 1, Span(4, {1}),
     1, 0, 1},
    {"TrailingBlanksAreNoFault", ":0100000055AA \t\r\n" + EndRecord(), 1, 0, 0, Span(0, {0x55})},
    {"TextBetweenRecordsIgnored",
     "junk line\r\n; comment\r\n\r\n" + Record(0, {5}) + "more text\n  \n" + Record(2, {6}) + EndRecord() + ";PIC16F88\n",
     2, 2, 1, Span(0, {5, 0xFF, 6})},
    {"EmptyFile", "", 0, 0, 0, {}, 0, 0, 0, true},
    {"ZeroCountRecordSkipped", Record(0x10, {}) + Record(0x20, {1, 2}) + EndRecord(), 2, 0x20, 2, Span(0x20, {1, 2})},
    {"LongRecordLoadedWhole", Record(0x100, Bytes(255)) + EndRecord(), 255, 0x100 + 255 - 64, 255,
     Span(0x100, Bytes(255))},
    // Cut short (head -c, head -n): what came whole loads, the broken record
    // stores nothing, and the missing end record is reported.
    {"CutShortInData", Record(0, {9}) + Record(0x10, {1, 2, 3, 4}).substr(0, 9 + 5), 1, 0, 0, Span(0, {9}), 1, 0, 2,
     true},
    {"CutShortInHeader", Record(0, {1}) + ":0400", 1, 0, 0, Span(0, {1}), 1, 0, 2, true},
    {"CutShortAtALineEnd", Record(0, {1}) + Record(2, {2}), 2, 2, 1, Span(0, {1, 0xFF, 2}), 0, 0, 0, true},
};
