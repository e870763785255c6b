#include "HexLoadReport.h"

std::string BadRecordsWarning(uint32_t badRecords)
{
    return std::to_string(badRecords) + (badRecords == 1 ? " record" : " records") +
           " with a wrong checksum or characters that are not hex digits (loaded all the same; "
           "check that the file is intact)";
}

std::string SkippedHighRecordsNote()
{
    return "configuration words, ID locations and EEPROM data in the file are not written by the bootloader";
}
