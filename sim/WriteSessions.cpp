#include "WriteSessions.h"

void WriteSessions::FlashEvents(const char* events, size_t n, uint64_t now)
{
    for (size_t i = 0; i < n; ++i) {
        m_writing = true;
        m_lastActivity = now;
        if (events[i] == 'E') ++m_rowsNow, ++m_rows;
    }
}

bool WriteSessions::EndedBy(uint64_t now)
{
    if (!m_writing || now - m_lastActivity < m_idleNs) return false;
    ++m_sessions;
    m_lastRows = m_rowsNow;
    m_rowsNow = 0;
    m_writing = false;
    return true;
}
