#include "GpsimOutput.h"
#include <cstdio>

namespace {
constexpr size_t kTailLines = 12;
}

void GpsimOutput::Add(const char* data, size_t n, uint64_t now, const ChipModelLog& log)
{
    m_partial.append(data, n);
    size_t eol;
    while ((eol = m_partial.find('\n')) != std::string::npos) {
        Line(m_partial.substr(0, eol), now, log);
        m_partial.erase(0, eol + 1);
    }
}

void GpsimOutput::Line(const std::string& line, uint64_t now, const ChipModelLog& log)
{
    if (line.find("fernbow_") != std::string::npos) log(now, "chip model: " + line);
    // gpsim's only way to say that a line of our script failed: the model
    // would run without that part (a pin left unattached).
    if (line.find("***ERROR") != std::string::npos)
        std::fprintf(stderr, "fernbow-sim: gpsim refused part of the chip model: %s\n", line.c_str());
    // Firmware the chip would fail on: said where the user looks.
    if (line.find("fernbow_flash: violation") != std::string::npos) std::fprintf(stderr, "fernbow-sim: %s\n", line.c_str());
    m_tail.push_back(line);
    if (m_tail.size() > kTailLines) m_tail.erase(m_tail.begin());
}

std::string GpsimOutput::Tail() const
{
    std::string s;
    for (const auto& l : m_tail) s += "  " + l + "\n";
    return s;
}
