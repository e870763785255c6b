#include "BoardSession.h"

#include "SettledFile.h"

#include <cstdio>
#include <memory>

namespace {

constexpr int kLineRate = 19200;    // what programming runs at
constexpr int kInterruptCheckMs = 100;

} // namespace

BoardSession::BoardSession(const Options& options, IPortLink& port, HeldLink& held, SessionView& view,
                           const std::atomic<bool>* interrupted)
    : m_args(options), m_port(port), m_held(held), m_view(view), m_interrupted(interrupted)
{
}

SessionEnd BoardSession::Run(const ProgramOnce& program)
{
    const bool monitor = m_args.monitorBaud > 0;
    m_held.Hold(monitor);
    if (monitor && !MonitorRateTaken()) {
        m_held.Hold(false);
        m_port.Close();
        SessionEnd refused;
        refused.monitorRateRefused = true;
        return refused;
    }
    // Watching begins before the first run: a rebuild during it counts.
    std::unique_ptr<SettledFile> watch;
    if (m_args.watch) {
        watch = std::make_unique<SettledFile>(m_args.hexFile, m_args.settleMs);
        m_watch = watch.get();
    }
    SessionEnd session;
    BoardEnd& last = session.last;
    last = ProgramRound(program);
    while (last.stop != BoardEnd::Stop::Interrupted) {
        if (monitor && last.Programmed()) {
            const MonitorEnd end = Monitor(m_args.watch);
            if (end == MonitorEnd::LineLost)
                last = BoardEnd::Stopped(BoardEnd::Stop::LineLost);
            // Watching, a lost line is opened anew for the next run.
            if (end != MonitorEnd::Paused && !(end == MonitorEnd::LineLost && m_args.watch))
                break;
        }
        if (!m_args.watch || !WaitForSettledChange(monitor && last.Programmed()))
            break;
        last = ProgramRound(program);
    }
    m_held.Hold(false);
    m_port.Close();
    return session;
}

bool BoardSession::MonitorRateTaken()
{
    // A port that does not open is left to the run to report.
    if (m_args.monitorBaud == kLineRate || !m_port.Open())
        return true;
    if (!m_port.SetLineRate(m_args.monitorBaud).Ok()) {
        m_view.MonitorRateRefused(m_args.monitorBaud);
        return false;
    }
    return m_port.SetLineRate(kLineRate).Ok();
}

BoardEnd BoardSession::ProgramRound(const ProgramOnce& program)
{
    // The monitor left the line at its own rate.
    if (m_args.monitorBaud > 0 && m_args.monitorBaud != kLineRate && m_port.IsOpen())
        (void)m_port.SetLineRate(kLineRate);
    if (m_args.reset)
        PulseReset();
    const BoardEnd end = program();
    if (m_watch && end.Programmed())
        m_watch->Programmed();
    return end;
}

void BoardSession::PulseReset()
{
    if (!m_port.Open())
        return;  // the run says why
    if (m_port.PulseModemLine(m_args.resetLine, kPulseMs).Ok() || m_pulseRefusalSaid)
        return;
    m_pulseRefusalSaid = true;
    m_view.PulseRefused(m_args.resetLine);
}

bool BoardSession::WaitForSettledChange(bool changeSeen)
{
    m_view.Watching(m_args.hexFile);
    // A half-written file, or the same program saved again, is not taken.
    while (!changeSeen) {
        if (Interrupted())
            return false;
        changeSeen = m_watch->NewContent(kInterruptCheckMs);
    }
    if (Interrupted())
        return false;
    m_watch->Taken();
    m_view.FileChanged(m_args.hexFile);
    return true;
}

MonitorEnd BoardSession::Monitor(bool watching)
{
    std::fflush(stdout);
    if (m_args.monitorBaud != kLineRate)
        (void)m_port.SetLineRate(m_args.monitorBaud);  // taken before the first run
    m_view.MonitorStarted(m_args.monitorBaud, watching);
    MonitorEnd end;
    {
        MonitorTerminal terminal(m_interrupted);
        std::function<bool()> pause;
        if (watching)
            pause = [this] { return m_watch->NewContent(0); };
        end = RunMonitor(m_port, terminal, m_interrupted, pause);
    }
    m_view.MonitorEnded(end);
    return end;
}
