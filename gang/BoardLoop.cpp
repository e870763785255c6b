#include "BoardLoop.h"

#include "BoardRun.h"
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

BoardLoop::BoardLoop(GangPort port, size_t slot, const GangShared& shared)
    : m_port(std::move(port)), m_slot(slot), m_shared(shared), m_view(*shared.view)
{
}

bool BoardLoop::Interrupted() const
{
    return m_shared.interrupted && m_shared.interrupted->load();
}

bool BoardLoop::Pause(int ms) const
{
    for (int left = ms; left > 0 && !Interrupted(); left -= 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 20)));
    return !Interrupted();
}

void BoardLoop::Run()
{
    const std::unique_ptr<IPortLink> port = m_port.makeLink();
    IPortLink& serial = *port;
    std::unique_ptr<TraceLink> trace;
    ISerialLink* line = &serial;
    if (m_shared.trace) {
        trace = std::make_unique<TraceLink>(
            serial, [this](const std::string& text) { m_view.Trace(m_slot, text); });
        line = trace.get();
    }
    if (!line->Open()) {
        Fail(BoardEnd::Stopped(BoardEnd::Stop::PortNotOpened), "Can't open comport: " + m_port.openError(serial));
        return;
    }
    m_device = serial.DevicePath();

    m_waitStartMs = SteadyMs();
    while (!Interrupted() && ProgramOneBoard(serial, *line)) {
        m_waitStartMs = SteadyMs();
        const int boards = m_tally.programmed + m_tally.failed;
        if (!m_shared.repeat || (m_shared.count > 0 && boards >= m_shared.count))
            break;
        if (!serial.LineLost())
            WaitForBoardToLeave(*line);
        if (serial.LineLost() && !ReopenWhenBack(*line, serial))
            break;
    }
    line->Close();
}

bool BoardLoop::ProgramOneBoard(const IPortLink& port, ISerialLink& line)
{
    BoardHost::Options options;
    options.pacer = m_shared.pacer;
    options.pacer.interrupted = m_shared.interrupted;
    if (m_shared.waitSeconds >= 0)
        options.pacer.waitMs = std::max<int64_t>(
            0, static_cast<int64_t>(m_shared.waitSeconds * 1000.0) - (SteadyMs() - m_waitStartMs));
    // Between boards, a board still running its own program is no board yet.
    options.quietSearch = m_shared.repeat;
    options.force = m_shared.force;
    options.run = m_shared.run;
    const BoardResult result = RunBoard(port, line, *m_shared.image, options, m_view, m_slot);

    if (result.lineLost) {
        if (result.Started())
            Record(result, "port lost", BoardEnd::Stopped(BoardEnd::Stop::LineLost));
        else if (!m_shared.repeat)
            Fail(BoardEnd::Stopped(BoardEnd::Stop::LineLost), "the port has gone away");
        return m_shared.repeat;
    }
    if (result.abandoned == AbandonReason::Interrupted) {
        if (result.Started())
            Record(result, "interrupted", BoardEnd::Stopped(BoardEnd::Stop::Interrupted));
        else if (!m_shared.repeat)
            Fail(BoardEnd::Stopped(BoardEnd::Stop::Interrupted), "Interrupted");
        return false;
    }
    if (result.abandoned == AbandonReason::WaitExpired) {
        const std::string text = (result.foreignAnswered ? "only bytes that were no bootloader's answer came within "
                                                         : "no target answered within ") +
                                 Seconds(m_shared.waitSeconds);
        if (m_tally.programmed + m_tally.failed == 0)
            Fail(result.end, text);
        else
            m_view.Line(m_slot, text + "; done");
        return false;
    }
    Record(result, DescribeOutcome(result.outcome).word, result.end);
    return true;
}

void BoardLoop::Record(const BoardResult& result, const char* outcome, const BoardEnd& end)
{
    const int number = m_tally.programmed + m_tally.failed + 1;
    if (end.Programmed()) {
        ++m_tally.programmed;
        m_tally.programmedSeconds += result.seconds;
    } else {
        ++m_tally.failed;
        if (m_tally.end.Programmed())
            m_tally.end = end;
    }
    m_view.Line(m_slot, "board " + std::to_string(number) + ": " + (result.chip.empty() ? "no chip" : result.chip) +
                               ", " + outcome + ", " + Seconds(result.seconds));
    if (!m_shared.log)
        return;
    RunLogEntry entry;
    entry.port = m_port.name;
    entry.device = m_device;
    entry.chip = result.chip;
    entry.outcome = outcome;
    entry.seconds = result.seconds;
    entry.bytesSent = result.bytesSent;
    entry.note = m_shared.note;
    if (!result.wrongChipWarning.empty())
        entry.note += (entry.note.empty() ? "" : "; ") + result.wrongChipWarning;
    for (const std::string& said : {ResetCodeNote(result.resetCode), ResetCodeWarning(result.resetCode)})
        if (!said.empty())
            entry.note += (entry.note.empty() ? "" : "; ") + said;
    std::string error;
    if (!m_shared.log->Append(entry, error))
        m_view.Problem(m_slot, "cannot write the log: " + error);
}

void BoardLoop::Fail(const BoardEnd& end, const std::string& problem)
{
    if (m_tally.end.Programmed())
        m_tally.end = end;
    m_view.Problem(m_slot, problem);
}

void BoardLoop::WaitForBoardToLeave(ISerialLink& line)
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

bool BoardLoop::ReopenWhenBack(ISerialLink& line, const IPortLink& port)
{
    line.Close();
    m_view.Line(m_slot, "the port has gone away; waiting for it to come back");
    m_view.Status(m_slot, "Waiting for the port");
    while (Pause(m_shared.reopenPauseMs)) {
        if (line.Open()) {
            m_device = port.DevicePath();
            m_view.Line(m_slot, "the port is back (" + m_device + ")");
            return true;
        }
    }
    return false;
}
