#pragma once
#include "ChipModel.h"
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// gpsim's output, line by line: the plug-in's lines go to the log, what the
// user must see (a refused script line, firmware the chip would fail on) to
// standard error, and the last lines are kept for an error report.
class GpsimOutput {
public:
    void Add(const char* data, size_t n, uint64_t now, const ChipModelLog& log);
    // The last lines, indented, one a line.
    std::string Tail() const;

private:
    void Line(const std::string& line, uint64_t now, const ChipModelLog& log);

    std::string m_partial;
    std::vector<std::string> m_tail;
};
