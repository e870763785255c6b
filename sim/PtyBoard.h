#pragma once
#include "Bootloader.h"
#include "UniqueFd.h"
#include <chrono>
#include <cstdint>
#include <string>

// The simulated board's connector: a pseudo-terminal whose slave side the
// host opens like a serial device. Bytes cost their time on the line in both
// directions, so a run takes as long as on a board (unless byteNs is 0).
class PtyBoard {
public:
    // 10 bit times (start, 8 data, stop) at 19200 baud.
    static constexpr uint64_t kByteNs19200 = 10ull * 1000000000ull / 19200ull;

    enum class End { Stopped, HungUp, SessionsDone, Failed };

    PtyBoard();

    // Creates the pseudo-terminal in raw mode at 19200 baud. false with a
    // reason when the system has none to give.
    bool Open(std::string& error);
    const std::string& SlavePath() const { return m_slavePath; }
    // The board's end of the line, for a board that answers from elsewhere.
    int MasterFd() const { return m_master.Get(); }

    // Serves the bootloader until stopFd turns readable, the bootloader hangs
    // up (the pty is closed then), or exitAfterSessions sessions have ended
    // (0: no limit).
    End Run(Bootloader& boot, uint64_t byteNs, int stopFd, uint32_t exitAfterSessions);

    // Nanoseconds since the board was made: the time base of the log.
    uint64_t Now() const;

    // Drops off the line: the host sees the device hang up.
    void HangUp();

private:
    void SendDue(uint64_t now);

    std::chrono::steady_clock::time_point m_start;
    UniqueFd m_master;
    // Held so the master never sees a hang-up while no host has the port open.
    UniqueFd m_slave;
    std::string m_slavePath;

    struct Pending {
        uint64_t dueNs;
        uint8_t byte;
    };
    std::vector<Pending> m_out;  // answer bytes in line order, not yet visible to the host
};
