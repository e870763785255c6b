#include "BoardProgram.h"

#include <cstring>

std::vector<uint8_t> BoardProgram::TakeGreeting(const Bootloader& boot)
{
    if (!Running(boot) || m_greeted)
        return {};
    m_greeted = true;
    return std::vector<uint8_t>(kGreeting, kGreeting + std::strlen(kGreeting));
}

BootReply BoardProgram::Feed(uint8_t byte) const
{
    BootReply reply;
    reply.bytes.push_back(byte);
    return reply;
}

void BoardProgram::Reset(const Bootloader& boot)
{
    m_sessionsAtReset = boot.SessionsCompleted();
    m_greeted = false;
}
