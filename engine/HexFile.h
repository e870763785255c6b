#pragma once
#include "ByteSource.h"
#include <cstdio>
#include <string>

// The HEX file, read through a large buffer: one system call per 64 KiB, not
// per character, so junk or very large files load quickly.
class CHexFile : public IByteSource {
public:
    CHexFile() = default;
    ~CHexFile() override { Close(); }
    CHexFile(const CHexFile&) = delete;
    CHexFile& operator=(const CHexFile&) = delete;

    // true when the file has been opened for reading.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fp != nullptr; }

    int Get() override;
    void Unget(int c) override;
    bool Failed() const override { return m_failed; }

private:
    bool Fill();

    std::FILE* m_fp = nullptr;
    unsigned char m_buffer[65536];
    size_t m_pos = 0;
    size_t m_len = 0;
    bool m_failed = false;
};
