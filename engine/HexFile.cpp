#include "HexFile.h"

bool CHexFile::Open(const std::string& path)
{
    Close();
    m_failed = false;
    return m_file.Open(path, kMaxHexFileBytes) == InputFile::Result::Opened;
}

void CHexFile::Close()
{
    m_file.Close();
    m_pos = m_len = 0;
}

bool CHexFile::Fill()
{
    if (!m_file.IsOpen() || m_failed) return false;
    const long got = m_file.Read(m_buffer, sizeof m_buffer);
    m_pos = 0;
    m_len = got > 0 ? static_cast<size_t>(got) : 0;
    if (got < 0) m_failed = true;
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
