#pragma once
#include <cstddef>

// A stream of bytes the HEX loader reads from: a file, or a string in tests.
class IByteSource {
public:
    virtual ~IByteSource() = default;
    // Next byte (0..255), or -1 at the end of the stream or on a read error.
    virtual int Get() = 0;
    // Puts back the byte just taken by Get (one byte of push-back).
    virtual void Unget(int c) = 0;
    // true when the stream ended because reading failed, not at its end.
    virtual bool Failed() const = 0;
};

// Reads from memory.
class MemorySource : public IByteSource {
public:
    MemorySource(const void* data, size_t size)
        : m_data(static_cast<const unsigned char*>(data)), m_size(size) {}
    int Get() override { return m_pos < m_size ? m_data[m_pos++] : -1; }
    void Unget(int c) override { if (c >= 0 && m_pos > 0) --m_pos; }
    bool Failed() const override { return false; }

private:
    const unsigned char* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
