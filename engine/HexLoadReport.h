#pragma once
#include <cstdint>
#include <string>

// What loading the HEX file found besides the program.
struct HexLoadReport {
    // Records with a wrong checksum, of an unknown type, or malformed (too
    // few or too many digits for their count byte, characters that are not
    // hex digits), and data records that give an address already loaded a
    // different value (a broken build; the later value is kept). Malformed
    // records store nothing; data records whose only fault is their checksum
    // were loaded all the same (hand-edited files rely on it).
    uint32_t badRecords = 0;
    // Data records at or above byte address 0x4000 other than data EEPROM
    // (ID locations, configuration words): the bootloader cannot write them,
    // so they were left out.
    uint32_t skippedHighRecords = 0;
    // The line of the first bad record (counted from 1); 0 when none.
    uint32_t firstBadLine = 0;
    // The file ended without an end record: it may have been cut short.
    bool missingEndRecord = false;
    // The file sets CONFIG2 (word 0x2008), which only the PIC16F88 has: it
    // was built for that chip.
    bool setsConfig2 = false;
    // Bytes of data EEPROM (byte address 0x4200 on, one byte a word) the
    // file gives: written only by a bootloader that can.
    uint32_t eepromBytes = 0;

    // Something a user must hear about before the file is written.
    bool HasFaults() const { return badRecords != 0 || missingEndRecord; }
};

// What is wrong with the file (report.HasFaults()), e.g. "2 bad records
// (...), the first on line 7; no end record (...)".
std::string FileFaultsText(const HexLoadReport& report);
// The warning every front end gives when it writes such a file all the
// same: the faults, and what was made of them.
std::string BadRecordsWarning(const HexLoadReport& report);
// The note about skippedHighRecords (nonzero).
std::string SkippedHighRecordsNote();
// The note about EEPROM data (eepromBytes nonzero) that a bootloader without
// the ability to write it leaves out.
std::string EepromLeftOutNote();
