#pragma once
#include "SerialLink.h"

// Keeps the line open across runs: a run closes its port when it ends, but
// the monitor that follows must not lose the board's first words (nor, on a
// real port, drop DTR and reset the board). Close only closes once released,
// or a line that is lost (IsOpen() false): there is nothing left to hold.
class HeldLink : public ISerialLink {
public:
    explicit HeldLink(ISerialLink& inner) : m_inner(inner) {}

    int Open() override { return m_inner.Open(); }
    int Close() override { return m_held && m_inner.IsOpen() ? 1 : m_inner.Close(); }
    int Read(uint8_t* buffer, uint32_t count) override { return m_inner.Read(buffer, count); }
    int Write(const uint8_t* buffer, uint32_t count) override { return m_inner.Write(buffer, count); }
    bool IsOpen() const override { return m_inner.IsOpen(); }
    int AnswerSlackMs() const override { return m_inner.AnswerSlackMs(); }
    bool SetRate(int baud) override { return m_inner.SetRate(baud); }
    bool CanSetRate(int baud) const override { return m_inner.CanSetRate(baud); }

    void Hold(bool held) { m_held = held; }

private:
    ISerialLink& m_inner;
    bool m_held = false;
};
