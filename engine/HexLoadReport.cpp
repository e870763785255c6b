#include "HexLoadReport.h"

std::string FileFaultsText(const HexLoadReport& report)
{
    std::string text;
    if (report.badRecords != 0)
        text = std::to_string(report.badRecords) + (report.badRecords == 1 ? " bad record" : " bad records") +
               " (a wrong checksum, missing or non-hex digits, an unknown type, or a second value for an address), "
               "the first on line " +
               std::to_string(report.firstBadLine);
    if (report.missingEndRecord)
        text += std::string(text.empty() ? "" : "; ") + "no end record (the file may have been cut short)";
    return text;
}

std::string BadRecordsWarning(const HexLoadReport& report)
{
    return FileFaultsText(report) +
           ". Records whose only fault is their checksum are loaded, malformed ones are left out, "
           "and of two values for an address the later is kept; check that the file is intact";
}

std::string SkippedHighRecordsNote()
{
    // Short enough to stay on one line of a 100-column terminal, "note: " included.
    return "configuration words and ID locations in the file are not written";
}

std::string EepromLeftOutNote()
{
    return "EEPROM data in the file is not written: this bootloader cannot write it";
}
