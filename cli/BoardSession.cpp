#include "BoardSession.h"

#include "ExitStatus.h"
#include "SettledFile.h"

#include <cstdio>
#include <memory>

namespace {

constexpr int kLineRate = 19200;    // what programming runs at
constexpr int kInterruptCheckMs = 100;

} // namespace

CBoardSession::CBoardSession(const CliArgs& args, IPortLink& port, CHeldLink& held, std::string portName,
                             const std::atomic<bool>* interrupted)
    : m_args(args), m_port(port), m_held(held), m_portName(std::move(portName)), m_interrupted(interrupted)
{
}

int CBoardSession::Run(const ProgramOnce& program)
{
    const bool monitor = m_args.monitorBaud > 0;
    m_held.Hold(monitor);
    if (monitor && !MonitorRateTaken()) {
        m_held.Hold(false);
        m_port.Close();
        return ExitStatus::kUsage;
    }
    // Watching begins before the first run: a rebuild during it counts.
    std::unique_ptr<CSettledFile> watch;
    if (m_args.watch) {
        watch = std::make_unique<CSettledFile>(m_args.hexFile, m_args.settleMs);
        m_watch = watch.get();
    }
    int status = ProgramRound(program);
    while (status != ExitStatus::kInterrupted) {
        if (monitor && status == ExitStatus::kProgrammed) {
            const MonitorEnd end = Monitor(m_args.watch);
            if (end == MonitorEnd::LineLost)
                status = ExitStatus::kPort;
            // Watching, a lost line is opened anew for the next run.
            if (end != MonitorEnd::Paused && !(end == MonitorEnd::LineLost && m_args.watch))
                break;
        }
        if (!m_args.watch || !WaitForSettledChange(monitor && status == ExitStatus::kProgrammed))
            break;
        status = ProgramRound(program);
    }
    m_held.Hold(false);
    m_port.Close();
    return status;
}

bool CBoardSession::MonitorRateTaken()
{
    // A port that does not open is left to the run to report.
    if (m_args.monitorBaud == kLineRate || !m_port.Open())
        return true;
    if (!m_port.SetLineRate(m_args.monitorBaud).Ok()) {
        std::fprintf(stderr, "fernbow-cli: %s does not take %d baud for --monitor\n", m_portName.c_str(),
                     m_args.monitorBaud);
        return false;
    }
    return m_port.SetLineRate(kLineRate).Ok();
}

int CBoardSession::ProgramRound(const ProgramOnce& program)
{
    // The monitor left the line at its own rate.
    if (m_args.monitorBaud > 0 && m_args.monitorBaud != kLineRate && m_port.IsOpen())
        (void)m_port.SetLineRate(kLineRate);
    if (m_args.reset)
        PulseReset();
    const int status = program();
    if (m_watch && status == ExitStatus::kProgrammed)
        m_watch->Programmed();
    return status;
}

void CBoardSession::PulseReset()
{
    if (!m_port.Open())
        return;  // the run says why
    if (m_port.PulseModemLine(m_args.resetLine, kPulseMs).Ok() || m_pulseRefusalSaid)
        return;
    m_pulseRefusalSaid = true;
    std::fprintf(stderr, "Note: the reset pulse could not be sent: %s cannot set %s here; searching without it\n",
                 m_portName.c_str(), m_args.resetLine == ModemLine::Dtr ? "DTR" : "RTS");
}

bool CBoardSession::WaitForSettledChange(bool changeSeen)
{
    std::fprintf(stderr, "Watching %s; Ctrl-C ends\n", m_args.hexFile.c_str());
    // A half-written file, or the same program saved again, is not taken.
    while (!changeSeen) {
        if (Interrupted())
            return false;
        changeSeen = m_watch->NewContent(kInterruptCheckMs);
    }
    if (Interrupted())
        return false;
    m_watch->Taken();
    std::fprintf(stderr, "%s has changed: programming it again\n", m_args.hexFile.c_str());
    return true;
}

MonitorEnd CBoardSession::Monitor(bool watching)
{
    std::fflush(stdout);
    if (m_args.monitorBaud != kLineRate)
        (void)m_port.SetLineRate(m_args.monitorBaud);  // taken before the first run
    std::fprintf(stderr, "Monitor on %s at %d baud, 8N1; Ctrl-C ends it%s\n", m_portName.c_str(), m_args.monitorBaud,
                 watching ? ", a change of the file programs it again" : "");
    MonitorEnd end;
    {
        CMonitorTerminal terminal(m_interrupted);
        std::function<bool()> pause;
        if (watching)
            pause = [this] { return m_watch->NewContent(0); };
        end = RunMonitor(m_port, terminal, m_interrupted, pause);
    }
    if (end == MonitorEnd::LineLost)
        std::fprintf(stderr, "\n%s has gone away: the monitor has ended\n", m_portName.c_str());
    if (end == MonitorEnd::OutputClosed)
        std::fprintf(stderr, "\nStandard output has closed: the monitor has ended\n");
    return end;
}
