#pragma once
#include "Bootloader.h"
#include "BoardProgram.h"
#include "ResetControl.h"
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

    // The program that runs once a session has ended (--echo), and the
    // reset control whose pulses hand the line back to the bootloader; each
    // pulse is logged. Both optional, set before Run.
    void Attach(BoardProgram* program, ResetControl* reset, Bootloader::LogFn log);

private:
    void SendDue(uint64_t now);
    // Queues bytes for the host from start on, one byte time each.
    void Queue(const std::vector<uint8_t>& bytes, uint64_t start, uint64_t byteNs);
    void TakeResets(Bootloader& boot);

    BoardProgram* m_program = nullptr;
    ResetControl* m_reset = nullptr;
    Bootloader::LogFn m_log;
    uint64_t m_outLineFree = 0;  // when the line towards the host is next idle

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
