#include "SettledFile.h"

#include "HexFile.h"
#include "InputFile.h"
#include "Sha256.h"
#include "SteadyClock.h"

#include <algorithm>

namespace {

// The signs must have stopped this long before the content is first read,
// so that a burst of writes costs one read.
constexpr int kQuietBeforeReadMs = 50;

} // namespace

SettledFile::SettledFile(const std::string& path, int settleMs)
    : m_path(path), m_watch(path), m_settleMs(settleMs)
{
    m_inHand = Read();
}

SettledFile::Content SettledFile::Read() const
{
    Content content;
    InputFile file;
    const InputFile::Result opened = file.Open(m_path, CHexFile::kMaxHexFileBytes);
    content.present = opened != InputFile::Result::NotFound;
    if (opened != InputFile::Result::Opened)
        return content;
    Sha256 hash;
    char buffer[16384];
    long n;
    while ((n = file.Read(buffer, sizeof buffer)) > 0)
        hash.Add(buffer, static_cast<size_t>(n));
    if (n == 0)
        content.sha256 = hash.HexDigest();
    return content;
}

void SettledFile::SignSeen()
{
    m_judging = true;
    m_lastSignMs = SteadyMs();
    m_read = false;
}

bool SettledFile::NewContent(int waitMs)
{
    const int64_t end = SteadyMs() + waitMs;
    for (;;) {
        int64_t due = end;
        if (m_judging)
            due = std::min(due, m_read ? m_firstReadMs + m_settleMs : m_lastSignMs + kQuietBeforeReadMs);
        const int slice = static_cast<int>(std::max<int64_t>(0, due - SteadyMs()));
        if (m_watch.Changed(slice) || m_watch.BeingWritten()) {
            SignSeen();
        } else if (m_judging && !m_read && SteadyMs() >= m_lastSignMs + kQuietBeforeReadMs) {
            m_firstRead = Read();
            m_firstReadMs = SteadyMs();
            m_read = true;
        } else if (m_judging && m_read && SteadyMs() >= m_firstReadMs + m_settleMs) {
            const Content now = Read();
            if (now != m_firstRead) {
                // Changed without a sign (a file system without events):
                // the settle time starts again from this read.
                m_firstRead = now;
                m_firstReadMs = SteadyMs();
            } else {
                m_judging = false;
                if (now.present && !(m_anyProgrammed && now == m_programmed)) {
                    m_found = now;
                    return true;
                }
            }
        }
        if (SteadyMs() >= end)
            return false;
    }
}

void SettledFile::Taken()
{
    m_inHand = m_found;
}

void SettledFile::Programmed()
{
    m_programmed = m_inHand;
    m_anyProgrammed = true;
}
