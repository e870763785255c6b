#pragma once
#include "SerialLink.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// Passes everything through to the real link and logs each byte sent ('>')
// and received ('<') in hex, stamped with milliseconds since the trace began.
class TraceLink : public ISerialLink {
public:
    using ClockMs = std::function<int64_t()>;
    // Takes one line of the trace, without its line end.
    using LineSink = std::function<void(const std::string& line)>;

    // Lines go to log, each in one write.
    TraceLink(ISerialLink& inner, std::FILE* log, ClockMs clock = ClockMs());
    // Lines go to sink (a console shared by several ports, which must not
    // be written around).
    TraceLink(ISerialLink& inner, LineSink sink, ClockMs clock = ClockMs());

    int Open() override;
    int Close() override;
    int Read(uint8_t* buffer, uint32_t count) override;
    int Write(const uint8_t* buffer, uint32_t count) override;
    bool IsOpen() const override { return m_inner.IsOpen(); }
    int AnswerSlackMs() const override { return m_inner.AnswerSlackMs(); }
    // Passed through; the change is traced as "rate <baud> ok" or "failed".
    bool SetRate(int baud) override;
    bool CanSetRate(int baud) const override { return m_inner.CanSetRate(baud); }

private:
    void Log(const char* what, const uint8_t* bytes, uint32_t count, const char* note);

    ISerialLink& m_inner;
    LineSink m_sink;
    ClockMs m_clock;
    int64_t m_startMs;
};
