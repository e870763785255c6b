#pragma once
#include "FlashModel.h"
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// Ways the simulated board can misbehave, to exercise the host's error paths.
// Blocks are numbered as the host numbers them: image byte offset / 64.
struct BootFaults {
    uint32_t ignoreWakeups = 0;            // the first n wake-up bytes get no answer
    bool halfAnswer = false;               // answer a wake-up with the chip byte only
    int answerByte = -1;                   // >= 0: send this instead of the chip byte
    int versionByte = -1;                  // >= 0: send this instead of kVersionByte (another loader)
    bool refuseAll = false;                // every frame answered "N", nothing written
    std::map<uint32_t, uint32_t> nacks;    // block -> how many frames to refuse with "N"
    std::map<uint32_t, uint32_t> silences; // block -> frames left unanswered (0: all), after the "N"s
    std::set<uint32_t> garbage;            // blocks written but answered with a byte other than K/N
    int64_t hangUpAfter = -1;              // >= 0: hang up once this many blocks were accepted
};

// Times in nanoseconds.
struct BootTiming {
    uint64_t flashWriteNs = 18000000;      // erase and write of one 32-word row
    uint64_t interByteTimeoutNs = 50000000;// a frame with a gap longer than this is dropped
    uint64_t sessionIdleNs = 1000000000;   // silence that ends a programming session
};

// What the bootloader does with one received byte.
struct BootReply {
    std::vector<uint8_t> bytes;  // to send back
    uint64_t delayNs = 0;        // work before the first byte goes out (flash write)
    bool hangUp = false;         // after sending, the board drops off the line
};

// The bootloader's side of the serial dialogue as a pure state machine: bytes
// in with the time they arrived, answers out. No I/O, no clock of its own.
class Bootloader {
public:
    using LogFn = std::function<void(uint64_t timeNs, const std::string& text)>;

    static constexpr uint8_t kVersionByte = 0x11;  // second byte of the wake-up answer
    static constexpr uint8_t kGarbageByte = '?';

    Bootloader(FlashModel& flash, BootFaults faults, BootTiming timing, LogFn log = nullptr);

    BootReply Feed(uint8_t byte, uint64_t nowNs);
    // Lets timed events happen while no byte arrives: a partial frame is
    // dropped, a finished session is counted.
    void Idle(uint64_t nowNs);
    // When Idle next has something to do; UINT64_MAX when nothing is pending.
    uint64_t NextDeadline() const;

    uint32_t SessionsCompleted() const { return m_sessions; }
    uint32_t BlocksAccepted() const { return m_accepted; }
    uint32_t WakeupsAnswered() const { return m_wakeupsAnswered; }
    uint32_t FramesRefused() const { return m_refused; }
    bool Awake() const { return m_state != State::Asleep; }

private:
    enum class State { Asleep, FrameStart, InFrame };

    BootReply WakeUp(uint64_t nowNs);
    BootReply Frame(uint64_t nowNs);
    BootReply Refuse(uint64_t nowNs, const std::string& why);
    void DropPartialFrame(uint64_t nowNs);
    void EndSession(uint64_t nowNs);
    void Log(uint64_t nowNs, const std::string& text) const;

    FlashModel& m_flash;
    BootFaults m_faults;
    BootTiming m_timing;
    LogFn m_log;

    State m_state = State::Asleep;
    uint8_t m_frame[kBlockFrameSize] = {};
    uint32_t m_frameLength = 0;
    uint64_t m_lastByteNs = 0;
    bool m_sessionOpen = false;
    uint32_t m_sessionBlocks = 0;

    uint32_t m_wakeups = 0;
    uint32_t m_wakeupsAnswered = 0;
    uint32_t m_sessions = 0;
    uint32_t m_accepted = 0;
    uint32_t m_refused = 0;
    std::map<uint32_t, uint32_t> m_attempts;  // block -> frames received for it
};
