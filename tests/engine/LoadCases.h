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
    bool setsConfig2 = false;  // the file shows it was built for the PIC16F88
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
     IntelHexRecord(0, {0, 0}, 4) + IntelHexRecord(0, Bytes(16, 0x10)) + IntelHexRecord(0x10, Bytes(16, 0x20)) +
         IntelHexRecord(0x400E, {0x38, 0x3F}) + IntelHexEndRecord(),
     36, 0x10, 16, Join(Span(0, Bytes(16, 0x10)), Span(0x10, Bytes(16, 0x20))), 0, 1},
    // ID locations and configuration words are left out, and what follows loads.
    {"RecordsAt4000AndAboveSkippedAndTheLoadGoesOn",
     IntelHexRecord(0x4000, Bytes(8, 1)) + IntelHexRecord(0x4002, {9, 9}) + IntelHexRecord(0x0100, {7}) + IntelHexEndRecord(),
     11, 0x100, 1, Span(0x100, {7}), 0, 2},
    {"EndRecordRaisesHighAddrForLongRecord",
     IntelHexRecord(0, {1}) + IntelHexRecord(0x20, Bytes(80)) + IntelHexEndRecord(), 81, 0x30, 80,
     Join(Span(0, {1}), Span(0x20, Bytes(80)))},
    {"SixtyFourBytesNoAdjustment", IntelHexRecord(0, {1}) + IntelHexRecord(0x20, Bytes(64)) + IntelHexEndRecord(), 65, 0x20, 64,
     Join(Span(0, {1}), Span(0x20, Bytes(64)))},
    {"OnlyRecordAtZero", IntelHexRecord(0, Bytes(100)) + IntelHexEndRecord(), 100, 0, 0, Span(0, Bytes(100))},
    // Two values for one address: counted bad, the later kept.
    {"SameHighestAddressKeepsFirstCount", IntelHexRecord(0x40, Bytes(16)) + IntelHexRecord(0x40, Bytes(8, 0x80)) + IntelHexEndRecord(),
     24, 0x40, 16, Join(Span(0x40, Bytes(8, 0x80)), Span(0x48, Bytes(8, 8))), 1, 0, 2},
    {"OverlapRepeatingTheSameValuesIsNoFault",
     IntelHexRecord(0x40, Bytes(16)) + IntelHexRecord(0x44, Bytes(4, 4)) + IntelHexRecord(0x4E, Bytes(4, 14)) + IntelHexEndRecord(), 24,
     0x4E, 4, Span(0x40, Bytes(18))},
    {"EachRecordGivingAnotherValueCounted",
     IntelHexRecord(0, Bytes(4)) + IntelHexRecord(2, {2, 9}) + IntelHexRecord(3, {7}) + IntelHexEndRecord(), 7, 3, 1,
     Span(0, {0, 1, 2, 7}), 2, 0, 2},
    {"Config2ShowsTheF88", IntelHexRecord(0, {1}) + IntelHexRecord(0x400E, {0x38, 0x3F, 0xFC, 0x3F}) + IntelHexEndRecord(), 5, 0, 0,
     Span(0, {1}), 0, 1, 0, false, true},
    {"OddCountStoresExactly", IntelHexRecord(0x10, {1, 2, 3}) + IntelHexEndRecord(), 3, 0x10, 3, Span(0x10, {1, 2, 3})},
    {"LowerCaseDigits", ":02000000abcd86\n" + IntelHexEndRecord(), 2, 0, 0, Span(0, {0xAB, 0xCD})},
    {"WrongChecksumLoadsAndIsCounted", ":0200000012340F\n" + IntelHexEndRecord(), 2, 0, 0, Span(0, {0x12, 0x34}), 1, 0, 1},
    {"MissingChecksumBeforeNextRecord", ":020000001234:0200020056782E\n" + IntelHexEndRecord(), 4, 2, 2,
     Span(0, {0x12, 0x34, 0x56, 0x78}), 1, 0, 1},
    {"DataAfterEndRecordIgnored", IntelHexRecord(0, {1, 2}) + IntelHexEndRecord() + IntelHexRecord(0x10, {3, 4}), 2, 0, 0, Span(0, {1, 2})},
    {"RecordAbove4000BeforeProgramSkipped", IntelHexRecord(0x5000, {1}) + IntelHexRecord(0, {2}) + IntelHexEndRecord(), 2, 0, 0,
     Span(0, {2}), 0, 1},
    {"OnlyConfigurationWords", IntelHexRecord(0x400E, {0x38, 0x3F}) + IntelHexEndRecord(), 2, 0, 0, {}, 0, 1},
    {"OnlyAnEndRecord", IntelHexEndRecord(), 0, 0, 0, {}},
    // Only type 00 stores bytes: an address record after the program used
    // to overwrite its first word.
    {"ExtendedLinearAddressAfterDataStoresNothing", IntelHexRecord(0, {1, 2}) + IntelHexRecord(0, {0, 0}, 4) + IntelHexEndRecord(), 4, 0,
     0, Span(0, {1, 2})},
    {"ExtendedLinearAddressMovesLaterData",
     IntelHexRecord(0, {0, 1}, 4) + IntelHexRecord(0, {5}) + IntelHexRecord(0, {0, 0}, 4) + IntelHexRecord(0x10, {6}) + IntelHexEndRecord(), 6, 0x10, 1,
     Span(0x10, {6}), 0, 1},
    {"ExtendedSegmentAddressIsSixteenTimes", IntelHexRecord(0, {0x01, 0x00}, 2) + IntelHexRecord(0x20, {7}) + IntelHexEndRecord(), 3,
     0x1020, 1, Span(0x1020, {7})},
    {"StartAddressRecordsSkipped",
     IntelHexRecord(0, {0, 0, 0x12, 0x34}, 3) + IntelHexRecord(0, {0, 0, 0, 0x10}, 5) + IntelHexRecord(0, {1}) + IntelHexEndRecord(), 9, 0, 0,
     Span(0, {1})},
    {"UnknownTypeSkippedAndCountedBad", IntelHexRecord(0, {1, 2}, 6) + IntelHexRecord(4, {3}) + IntelHexRecord(0, {}, 0x11) + IntelHexEndRecord(),
     3, 4, 1, Span(4, {3}), 2, 0, 1},
    {"AddressRecordOfWrongLengthCountedBad", IntelHexRecord(0, {0, 1, 2}, 4) + IntelHexRecord(0, {9}) + IntelHexEndRecord(), 4, 0, 0,
     Span(0, {9}), 1, 0, 1},
    // 'G' would read as 0 and make the checksum match: such a record stores nothing.
    {"NonHexDigitStoresNothing", IntelHexRecord(0, {1}) + ":02000200G234C6\n" + IntelHexEndRecord(), 1, 0, 0, Span(0, {1}), 1, 0, 2},
    {"NonHexDigitInHeaderStoresNothing", ":0200G0000234C8\n" + IntelHexRecord(4, {1}) + IntelHexEndRecord(), 1, 4, 1, Span(4, {1}), 1,
     0, 1},
    {"NonHexChecksumLoadsAndIsCounted", ":020000000234C?\n" + IntelHexEndRecord(), 2, 0, 0, Span(0, {0x02, 0x34}), 1, 0, 1},
    // A line of text that happens to hold a colon is no record.
    {"TextWithAColonStoresNothing", "SigPnd:\t0000000000000000\n" + IntelHexRecord(0x10, {1}) + IntelHexEndRecord(), 1, 0x10, 1,
     Span(0x10, {1}), 1, 0, 1},
    // A count byte larger than the line: the record never takes the next
    // line's characters, and the next record loads whole.
    {"CountBeyondItsLineStoresNothing",
     IntelHexRecord(0, {1, 2}) + ":0C001000" + std::string(16, 'A') + "A8\n" + IntelHexRecord(0x20, {3, 4}) + IntelHexEndRecord(), 4, 0x20,
     2, Join(Span(0, {1, 2}), Span(0x20, {3, 4})), 1, 0, 2},
    {"MoreDigitsThanTheCountStoresNothing", ":01000000AABB99\n" + IntelHexRecord(4, {1}) + IntelHexEndRecord(), 1, 4, 1, Span(4, {1}),
     1, 0, 1},
    {"TrailingBlanksAreNoFault", ":0100000055AA \t\r\n" + IntelHexEndRecord(), 1, 0, 0, Span(0, {0x55})},
    {"TextBetweenRecordsIgnored",
     "junk line\r\n; comment\r\n\r\n" + IntelHexRecord(0, {5}) + "more text\n  \n" + IntelHexRecord(2, {6}) + IntelHexEndRecord() + ";PIC16F88\n",
     2, 2, 1, Span(0, {5, 0xFF, 6})},
    {"EmptyFile", "", 0, 0, 0, {}, 0, 0, 0, true},
    {"ZeroCountRecordSkipped", IntelHexRecord(0x10, {}) + IntelHexRecord(0x20, {1, 2}) + IntelHexEndRecord(), 2, 0x20, 2, Span(0x20, {1, 2})},
    {"LongRecordLoadedWhole", IntelHexRecord(0x100, Bytes(255)) + IntelHexEndRecord(), 255, 0x100 + 255 - 64, 255,
     Span(0x100, Bytes(255))},
    // Cut short (head -c, head -n): what came whole loads, the broken record
    // stores nothing, and the missing end record is reported.
    {"CutShortInData", IntelHexRecord(0, {9}) + IntelHexRecord(0x10, {1, 2, 3, 4}).substr(0, 9 + 5), 1, 0, 0, Span(0, {9}), 1, 0, 2,
     true},
    {"CutShortInHeader", IntelHexRecord(0, {1}) + ":0400", 1, 0, 0, Span(0, {1}), 1, 0, 2, true},
    {"CutShortAtALineEnd", IntelHexRecord(0, {1}) + IntelHexRecord(2, {2}), 2, 2, 1, Span(0, {1, 0xFF, 2}), 0, 0, 0, true},
};
