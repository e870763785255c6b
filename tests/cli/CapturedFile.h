#pragma once
#include <cstdio>
#include <stdexcept>
#include <string>

// A temporary FILE* whose contents a test can read back.
class CapturedFile {
public:
    CapturedFile() : m_fp(std::tmpfile())
    {
        if (!m_fp)
            throw std::runtime_error("tmpfile failed");
    }
    ~CapturedFile() { std::fclose(m_fp); }
    CapturedFile(const CapturedFile&) = delete;
    CapturedFile& operator=(const CapturedFile&) = delete;

    std::FILE* Get() const { return m_fp; }
    std::string Text() const
    {
        std::fflush(m_fp);
        std::string text;
        std::rewind(m_fp);
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, m_fp)) > 0)
            text.append(buf, n);
        std::fseek(m_fp, 0, SEEK_END);
        return text;
    }

private:
    std::FILE* m_fp;
};
