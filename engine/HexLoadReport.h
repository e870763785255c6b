#pragma once
#include <cstdint>
#include <string>

// What loading the HEX file found besides the program.
struct HexLoadReport {
    // Records whose checksum did not match, that held characters other than
    // hex digits, or of an unknown type. Data records among them were loaded
    // all the same (hand-edited files rely on it).
    uint32_t badRecords = 0;
    // Data records at or above byte address 0x4000 (ID locations,
    // configuration words, EEPROM data): the bootloader cannot write them,
    // so they were left out.
    uint32_t skippedHighRecords = 0;
};

// The warning every front end gives about badRecords (nonzero):
// "3 records with a wrong checksum or ... (loaded all the same; ...)".
std::string BadRecordsWarning(uint32_t badRecords);
// The note about skippedHighRecords (nonzero).
std::string SkippedHighRecordsNote();
