#pragma once
#include "ByteSource.h"
#include "InputFile.h"
#include <cstdint>
#include <string>

// The HEX file, read through a large buffer: one system call per 64 KiB, not
// per character, so junk or very large files load quickly. Opening never
// waits, and only a regular file of at most kMaxHexFileBytes is taken: a
// program for these chips is a few tens of KiB as text.
class CHexFile : public IByteSource {
public:
    static constexpr uint64_t kMaxHexFileBytes = 64ull << 20;

    CHexFile() = default;
    ~CHexFile() override { Close(); }
    CHexFile(const CHexFile&) = delete;
    CHexFile& operator=(const CHexFile&) = delete;

    // true when the file has been opened for reading; otherwise
    // ErrorText() says why.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& ErrorText() const { return m_file.ErrorText(); }

    int Get() override;
    void Unget(int c) override;
    bool Failed() const override { return m_failed; }

private:
    bool Fill();

    InputFile m_file;
    unsigned char m_buffer[65536];
    size_t m_pos = 0;
    size_t m_len = 0;
    bool m_failed = false;
};
