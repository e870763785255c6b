#pragma once
#include "SerialLink.h"

// Passes everything through and notices when the line has gone away: a
// write that fails on an open port means the device hung up or was
// unplugged (a pseudo-terminal whose board ended, a USB adapter pulled).
class CLineWatch : public ISerialLink {
public:
    explicit CLineWatch(ISerialLink& inner) : m_inner(inner) {}

    int Open() override
    {
        const int opened = m_inner.Open();
        if (opened)
            m_bLost = false;
        return opened;
    }
    int Close() override { return m_inner.Close(); }
    int Read(uint8_t* buffer, uint32_t count) override { return m_inner.Read(buffer, count); }
    int Write(const uint8_t* buffer, uint32_t count) override
    {
        const int written = m_inner.Write(buffer, count);
        if (!written && m_inner.IsOpen())
            m_bLost = true;
        return written;
    }
    bool IsOpen() const override { return m_inner.IsOpen(); }
    int AnswerSlackMs() const override { return m_inner.AnswerSlackMs(); }

    bool Lost() const { return m_bLost; }

private:
    ISerialLink& m_inner;
    bool m_bLost = false;
};
