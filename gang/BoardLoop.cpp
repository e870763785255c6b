#include "BoardLoop.h"

#include "BoardHost.h"
#include "FlashWriter.h"
#include "LineWatch.h"
#include "ResetCode.h"
#include "SteadyClock.h"
#include "TraceLink.h"
#include "WakeUp.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace {

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

} // namespace

CBoardLoop::CBoardLoop(GangPort port, size_t slot, const GangShared& shared)
    : m_port(std::move(port)), m_slot(slot), m_shared(shared), m_view(*shared.view)
{
}

bool CBoardLoop::Interrupted() const
{
    return m_shared.interrupted && m_shared.interrupted->load();
}

bool CBoardLoop::Pause(int ms) const
{
    for (int left = ms; left > 0 && !Interrupted(); left -= 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 20)));
    return !Interrupted();
}

void CBoardLoop::Run()
{
    const std::unique_ptr<IPortLink> port = m_port.makeLink();
    IPortLink& serial = *port;
    std::unique_ptr<CTraceLink> trace;
    ISerialLink* link = &serial;
    if (m_shared.trace) {
        trace = std::make_unique<CTraceLink>(
            serial, [this](const std::string& text) { m_view.Trace(m_slot, text); });
        link = trace.get();
    }
    CLineWatch line(*link);
    if (!line.Open()) {
        Fail(ExitStatus::kPort, "Can't open comport: " + m_port.openError(serial));
        return;
    }
    m_device = serial.DevicePath();

    m_waitStartMs = SteadyMs();
    while (!Interrupted() && ProgramOneBoard(line)) {
        m_waitStartMs = SteadyMs();
        const int boards = m_tally.programmed + m_tally.failed;
        if (!m_shared.repeat || (m_shared.count > 0 && boards >= m_shared.count))
            break;
        if (!line.Lost())
            WaitForBoardToLeave(line);
        if (line.Lost() && !ReopenWhenBack(line, serial))
            break;
    }
    line.Close();
}

bool CBoardLoop::ProgramOneBoard(CLineWatch& line)
{
    for (;;) {
        CRunPacer::Options options = m_shared.pacer;
        options.interrupted = m_shared.interrupted;
        if (m_shared.waitSeconds >= 0)
            options.waitMs = std::max<int64_t>(
                0, static_cast<int64_t>(m_shared.waitSeconds * 1000.0) - (SteadyMs() - m_waitStartMs));
        CBoardHost host(options, m_view, m_slot, line, m_shared.repeat, m_shared.force);
        CFlashWriter writer(line, host);
        writer.ProgramKept(*m_shared.image);
        const FlashOutcome outcome = writer.LastOutcome();
        const bool started = host.ChipFoundMs() >= 0;

        if (m_shared.repeat && outcome == FlashOutcome::UnexpectedAnswer) {
            // A board still running its own program: no board yet.
            if (!Pause(m_shared.foreignPauseMs))
                return false;
            continue;
        }
        if (host.LineLost()) {
            if (started)
                Record(host, writer, "port lost", ExitStatus::kPort);
            else if (!m_shared.repeat)
                Fail(ExitStatus::kPort, "the port has gone away");
            return m_shared.repeat;
        }
        if (host.Abandoned() == AbandonReason::Interrupted) {
            if (started)
                Record(host, writer, "interrupted", ExitStatus::kInterrupted);
            else if (!m_shared.repeat)
                Fail(ExitStatus::kInterrupted, "Interrupted");
            return false;
        }
        if (host.Abandoned() == AbandonReason::WaitExpired) {
            const std::string text = "no target answered within " + Seconds(m_shared.waitSeconds);
            if (m_tally.programmed + m_tally.failed == 0)
                Fail(ExitStatus::kNoTarget, text);
            else
                m_view.Line(m_slot, text + "; done");
            return false;
        }
        Record(host, writer, DescribeOutcome(outcome).word, ExitStatusFor(outcome, host.Abandoned()));
        return true;
    }
}

void CBoardLoop::Record(const CBoardHost& host, const CFlashWriter& writer, const char* outcome, int exitStatus)
{
    const double seconds =
        host.ChipFoundMs() < 0 ? 0.0 : static_cast<double>(host.ElapsedMs() - host.ChipFoundMs()) / 1000.0;
    const int number = m_tally.programmed + m_tally.failed + 1;
    const std::string chip = writer.Chip() ? writer.Chip()->name : "";
    const ResetCodeReport& resetCode = writer.LastResetCode();
    if (exitStatus == ExitStatus::kProgrammed) {
        ++m_tally.programmed;
        m_tally.programmedSeconds += seconds;
    } else {
        ++m_tally.failed;
        if (m_tally.exitStatus == 0)
            m_tally.exitStatus = exitStatus;
    }
    m_view.Line(m_slot, "board " + std::to_string(number) + ": " + (chip.empty() ? "no chip" : chip) + ", " +
                               outcome + ", " + Seconds(seconds));
    if (!m_shared.log)
        return;
    RunLogEntry entry;
    entry.port = m_port.name;
    entry.device = m_device;
    entry.chip = chip;
    entry.outcome = outcome;
    entry.seconds = seconds;
    entry.bytesSent = writer.BytesSent();
    entry.note = m_shared.note;
    if (!host.WrongChipWarning().empty())
        entry.note += (entry.note.empty() ? "" : "; ") + host.WrongChipWarning();
    for (const std::string& said : {ResetCodeNote(resetCode), ResetCodeWarning(resetCode)})
        if (!said.empty())
            entry.note += (entry.note.empty() ? "" : "; ") + said;
    std::string error;
    if (!m_shared.log->Append(entry, error))
        m_view.Problem(m_slot, "cannot write the log: " + error);
}

void CBoardLoop::Fail(int exitStatus, const std::string& problem)
{
    if (m_tally.exitStatus == 0)
        m_tally.exitStatus = exitStatus;
    m_view.Problem(m_slot, problem);
}

void CBoardLoop::WaitForBoardToLeave(CLineWatch& line)
{
    m_view.Status(m_slot, "Waiting for the next board");
    // --wait counts from the end of the last board: a board left on the
    // port is no next board either.
    auto waitLeft = [this] {
        return m_shared.waitSeconds < 0 || SteadyMs() - m_waitStartMs < m_shared.waitSeconds * 1000.0;
    };
    while (waitLeft() && Pause(m_shared.leaveQuietMs) && BootloaderAnswers(line, m_shared.answerMs)) {
    }
}

bool CBoardLoop::ReopenWhenBack(CLineWatch& line, const IPortLink& serial)
{
    line.Close();
    m_view.Line(m_slot, "the port has gone away; waiting for it to come back");
    m_view.Status(m_slot, "Waiting for the port");
    while (Pause(m_shared.reopenPauseMs)) {
        if (line.Open()) {
            m_device = serial.DevicePath();
            m_view.Line(m_slot, "the port is back (" + m_device + ")");
            return true;
        }
    }
    return false;
}
