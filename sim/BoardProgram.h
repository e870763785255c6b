#pragma once
#include "Bootloader.h"

#include <cstdint>
#include <vector>

// What the board runs once its bootloader has let the program start (a
// session has ended): with --echo, a program that greets and then sends
// back every byte it gets, so that a monitor on the host has something to
// talk to. A reset hands the line back to the bootloader until the next
// session has ended.
class BoardProgram {
public:
    static constexpr char kGreeting[] = "fernbow-sim: program running, echoing\r\n";

    explicit BoardProgram(bool echo) : m_echo(echo) {}

    // Whether the program has the line now.
    bool Running(const Bootloader& boot) const { return m_echo && boot.SessionsCompleted() > m_sessionsAtReset; }
    // The greeting when the program has just started; empty otherwise.
    std::vector<uint8_t> TakeGreeting(const Bootloader& boot);
    BootReply Feed(uint8_t byte) const;
    void Reset(const Bootloader& boot);

private:
    bool m_echo;
    uint32_t m_sessionsAtReset = 0;
    bool m_greeted = false;
};
