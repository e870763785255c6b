#include "HexFile.h"
#include <cerrno>

bool CHexFile::Open(const std::string& path)
{
    Close();
    if (path.empty()) return false;
    m_fp = std::fopen(path.c_str(), "rb");
    m_pos = m_len = 0;
    m_failed = false;
    return m_fp != nullptr;
}

void CHexFile::Close()
{
    if (m_fp) std::fclose(m_fp);
    m_fp = nullptr;
    m_pos = m_len = 0;
}

bool CHexFile::Fill()
{
    if (!m_fp || m_failed) return false;
    m_len = std::fread(m_buffer, 1, sizeof m_buffer, m_fp);
    m_pos = 0;
    if (m_len == 0 && std::ferror(m_fp)) m_failed = true;
    return m_len > 0;
}

int CHexFile::Get()
{
    if (m_pos == m_len && !Fill()) return -1;
    return m_buffer[m_pos++];
}

void CHexFile::Unget(int c)
{
    if (c >= 0 && m_pos > 0) --m_pos;
}
