#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Intel HEX out: what the simulator dumps, and the files the benchmark and
// the tests make. Records end in "\n".

// One record: ":", count, the low 16 bits of the address, type, data and the
// checksum that makes its bytes sum to zero.
std::string IntelHexRecord(uint8_t type, uint32_t address, const uint8_t* data, size_t count);
// A data record (or another type) from a byte list.
std::string IntelHexRecord(uint32_t address, const std::vector<uint8_t>& data, uint8_t type = 0);
// ":00000001FF\n"
std::string IntelHexEndRecord();

// Data records of 16 bytes for bytes from byte address on, each preceded by
// an extended linear address record where the upper 16 bits change (from 0).
// No end record, so records of several ranges can follow one another.
std::string IntelHexDataRecords(const std::vector<uint8_t>& bytes, uint32_t address = 0);

// Program memory as Intel HEX: each 14-bit word as two bytes, low byte
// first, at byte address 2 x word; data records of 16 bytes, an extended
// linear address record only where the bytes pass 64 KiB, then the end record.
std::string IntelHexFromWords(const std::vector<uint16_t>& words);
