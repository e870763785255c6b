#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Program memory as Intel HEX (low byte first, 16 bytes a record), written to
// PATH.tmp and renamed, so a reader never sees half a file.
bool WriteHexDump(const std::string& path, const std::vector<uint16_t>& words, std::string& error);
