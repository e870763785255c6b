#include "SessionMessages.h"

#include <cstdio>

void SessionMessages::MonitorRateRefused(int baud)
{
    std::fprintf(stderr, "fernbow-cli: %s does not take %d baud for --monitor\n", m_portName.c_str(), baud);
}

void SessionMessages::PulseRefused(ModemLine line)
{
    std::fprintf(stderr, "Note: the reset pulse could not be sent: %s cannot set %s here; searching without it\n",
                 m_portName.c_str(), line == ModemLine::Dtr ? "DTR" : "RTS");
}

void SessionMessages::Watching(const std::string& file)
{
    std::fprintf(stderr, "Watching %s; Ctrl-C ends\n", file.c_str());
}

void SessionMessages::FileChanged(const std::string& file)
{
    std::fprintf(stderr, "%s has changed: programming it again\n", file.c_str());
}

void SessionMessages::MonitorStarted(int baud, bool watching)
{
    std::fprintf(stderr, "Monitor on %s at %d baud, 8N1; Ctrl-C ends it%s\n", m_portName.c_str(), baud,
                 watching ? ", a change of the file programs it again" : "");
}

void SessionMessages::MonitorEnded(MonitorEnd end)
{
    if (end == MonitorEnd::LineLost)
        std::fprintf(stderr, "\n%s has gone away: the monitor has ended\n", m_portName.c_str());
    if (end == MonitorEnd::OutputClosed)
        std::fprintf(stderr, "\nStandard output has closed: the monitor has ended\n");
}
