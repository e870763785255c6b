#pragma once
#include <cstddef>
#include <cstdint>

// Sessions in which the chip wrote its own flash: rows erased and groups
// programmed, told by the plug-in. One ends once neither the flash nor the
// host has been busy for idleNs; what the chip sends (a program printing
// "OK") neither starts nor prolongs one.
class WriteSessions {
public:
    explicit WriteSessions(uint64_t idleNs) : m_idleNs(idleNs) {}

    // The plug-in's events: 'E' a row erased, 'W' a group written.
    void FlashEvents(const char* events, size_t n, uint64_t now);
    // Bytes came from the host.
    void HostBusy(uint64_t now) { m_lastActivity = now; }
    // true when a session has ended by now; it counts from then on.
    bool EndedBy(uint64_t now);

    uint32_t Count() const { return m_sessions; }
    // Rows erased in the session that ended last, and in all.
    uint32_t LastRows() const { return m_lastRows; }
    uint32_t Rows() const { return m_rows; }

private:
    uint64_t m_idleNs;
    uint64_t m_lastActivity = 0;
    bool m_writing = false;
    uint32_t m_rowsNow = 0;
    uint32_t m_lastRows = 0;
    uint32_t m_rows = 0;
    uint32_t m_sessions = 0;
};
