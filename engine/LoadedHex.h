#pragma once
#include "HexLoadReport.h"
#include <cstdint>
#include <vector>

// A HEX file loaded once and kept, so that many boards can be programmed from
// it without reading the file again. Read-only once made: each run programs
// from its own copy, because programming moves the reset vector in the image.
struct LoadedHex {
    std::vector<uint8_t> image;   // kImageSize bytes, erased value 0xFF
    uint32_t highAddr = 0;        // start of the highest record (end-record adjustment included)
    uint32_t highCount = 0;       // its byte count
    uint32_t totalBytes = 0;      // data bytes of all records read
    uint32_t loadEnd = 0;         // one past the highest byte stored
    HexLoadReport report;         // what the load found besides the program
    std::vector<int16_t> eeprom;  // data EEPROM: 256 bytes, -1 where the file gives none
};
