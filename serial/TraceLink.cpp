#include "TraceLink.h"

#include "SteadyClock.h"

#include <cstdio>
#include <string>

TraceLink::TraceLink(ISerialLink& inner, std::FILE* log, ClockMs clock)
    : TraceLink(inner,
                 [log](const std::string& line) {
                     std::fputs((line + '\n').c_str(), log);
                     std::fflush(log);
                 },
                 std::move(clock))
{
}

TraceLink::TraceLink(ISerialLink& inner, LineSink sink, ClockMs clock)
    : m_inner(inner), m_sink(std::move(sink)), m_clock(clock ? std::move(clock) : ClockMs(SteadyMs)),
      m_startMs(m_clock())
{
}

void TraceLink::Log(const char* what, const uint8_t* bytes, uint32_t count, const char* note)
{
    char text[32];
    std::snprintf(text, sizeof text, "%8lld ms ", static_cast<long long>(m_clock() - m_startMs));
    std::string line = text + std::string(what);
    for (uint32_t i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, " %02X", bytes[i]);
        line += text;
    }
    if (note)
        line += std::string(" ") + note;
    m_sink(line);
}

int TraceLink::Open()
{
    int result = m_inner.Open();
    Log("open", nullptr, 0, result ? "ok" : "failed");
    return result;
}

int TraceLink::Close()
{
    if (m_inner.IsOpen())
        Log("close", nullptr, 0, nullptr);
    return m_inner.Close();
}

bool TraceLink::SetRate(int baud)
{
    const bool result = m_inner.SetRate(baud);
    Log(("rate " + std::to_string(baud)).c_str(), nullptr, 0, result ? "ok" : "failed");
    return result;
}

int TraceLink::Read(uint8_t* buffer, uint32_t count)
{
    int n = m_inner.Read(buffer, count);
    // Empty reads are the engine polling; logging them would drown the bytes.
    if (n > 0)
        Log("<", buffer, static_cast<uint32_t>(n), nullptr);
    return n;
}

int TraceLink::Write(const uint8_t* buffer, uint32_t count)
{
    int result = m_inner.Write(buffer, count);
    Log(">", buffer, count, result ? nullptr : "(write failed)");
    return result;
}
