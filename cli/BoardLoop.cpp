#include "BoardLoop.h"

#include "BoardHost.h"
#include "ComPortMap.h"
#include "ExitStatus.h"
#include "FlashWriter.h"
#include "LineWatch.h"
#include "ResetCode.h"
#include "PortLinkFactory.h"
#include "SteadyClock.h"
#include "TraceLink.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace {

constexpr int kLeaveQuietMs = 1500;   // silence before asking whether the board is still there
constexpr int kAnswerMs = 60;         // for the answer to that wake-up
constexpr int kReopenPauseMs = 250;
constexpr int kForeignPauseMs = 200;  // after an answer that was not a bootloader's

const char* OutcomeWord(FlashOutcome outcome)
{
    switch (outcome) {
    case FlashOutcome::Programmed:
        return "programmed";
    case FlashOutcome::BootAreaOverlap:
        return "boot area overlap";
    case FlashOutcome::UnexpectedAnswer:
        return "unexpected answer";
    case FlashOutcome::Timeout:
        return "timeout";
    case FlashOutcome::TransmissionProblem:
        return "transmission problem";
    case FlashOutcome::NoProgramData:
        return "no program data";
    case FlashOutcome::FileRefused:
        return "file refused";
    case FlashOutcome::FileReadError:
    case FlashOutcome::Abandoned:
    case FlashOutcome::None:
        break;
    }
    return "internal error";
}

// One wake-up byte; true when a bootloader answers it.
bool BootloaderAnswers(ISerialLink& line)
{
    if (!line.Write(&kWakeUpByte, 1))
        return false;
    uint8_t answer[2] = {0, 0};
    uint32_t got = 0;
    const int64_t end = SteadyMs() + kAnswerMs;
    while (got < 1 && SteadyMs() < end)
        got += static_cast<uint32_t>(std::max(0, line.Read(answer + got, 2 - got)));
    return got > 0 && FindChip(answer[0]) != nullptr;
}

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

} // namespace

CBoardLoop::CBoardLoop(const PortArgument& port, size_t slot, const BenchShared& shared)
    : m_port(port), m_slot(slot), m_shared(shared), m_console(*shared.console)
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
    CLineSettings settings;
    if (m_port.device.empty())
        settings.m_nComPort = m_port.comPort;
    else
        settings.m_strDevice = m_port.device;
    const std::unique_ptr<IPortLink> port = MakePortLink(settings);
    IPortLink& serial = *port;
    std::unique_ptr<CTraceLink> trace;
    ISerialLink* link = &serial;
    if (m_shared.trace) {
        trace = std::make_unique<CTraceLink>(
            serial, [this](const std::string& text) { m_console.Trace(m_slot, text); });
        link = trace.get();
    }
    CLineWatch line(*link);
    if (!line.Open()) {
        Fail(ExitStatus::kPort, "Can't open comport: " +
                                    (serial.DevicePath().empty()
                                         ? std::string("it has no device (see fernbow-cli --list)")
                                         : DescribeOpenError(serial.LastOpenError(), serial.DevicePath())));
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
        CCliHost::Options options;
        options.terminal = m_console.GetStyle() == CBoardConsole::Style::Panel;
        options.interrupted = m_shared.interrupted;
        if (m_shared.waitSeconds >= 0)
            options.waitMs = std::max<int64_t>(
                0, static_cast<int64_t>(m_shared.waitSeconds * 1000.0) - (SteadyMs() - m_waitStartMs));
        CBoardHost host(options, m_console, m_slot, line, m_shared.repeat);
        CFlashWriter writer(line, host);
        writer.ProgramKept(*m_shared.image);
        const FlashOutcome outcome = writer.LastOutcome();
        const bool started = host.ChipFoundMs() >= 0;

        if (m_shared.repeat && outcome == FlashOutcome::UnexpectedAnswer) {
            // A board still running its own program: no board yet.
            if (!Pause(kForeignPauseMs))
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
                m_console.Line(m_slot, text + "; done");
            return false;
        }
        Record(host, writer, OutcomeWord(outcome), ExitStatusFor(outcome, host.Abandoned()));
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
    m_console.Line(m_slot, "board " + std::to_string(number) + ": " + (chip.empty() ? "no chip" : chip) + ", " +
                               outcome + ", " + Seconds(seconds));
    if (!m_shared.log)
        return;
    RunLogEntry entry;
    entry.port = m_console.Port(m_slot);
    entry.device = m_device;
    entry.chip = chip;
    entry.outcome = outcome;
    entry.seconds = seconds;
    entry.bytesSent = writer.BytesSent();
    entry.note = m_shared.note;
    for (const std::string& said : {ResetCodeNote(resetCode), ResetCodeWarning(resetCode)})
        if (!said.empty())
            entry.note += (entry.note.empty() ? "" : "; ") + said;
    std::string error;
    if (!m_shared.log->Append(entry, error))
        m_console.Problem(m_slot, "cannot write the log: " + error);
}

void CBoardLoop::Fail(int exitStatus, const std::string& problem)
{
    if (m_tally.exitStatus == 0)
        m_tally.exitStatus = exitStatus;
    m_console.Problem(m_slot, problem);
}

void CBoardLoop::WaitForBoardToLeave(CLineWatch& line)
{
    m_console.Status(m_slot, "Waiting for the next board");
    // --wait counts from the end of the last board: a board left on the
    // port is no next board either.
    auto waitLeft = [this] {
        return m_shared.waitSeconds < 0 || SteadyMs() - m_waitStartMs < m_shared.waitSeconds * 1000.0;
    };
    while (waitLeft() && Pause(kLeaveQuietMs) && BootloaderAnswers(line)) {
    }
}

bool CBoardLoop::ReopenWhenBack(CLineWatch& line, const IPortLink& serial)
{
    line.Close();
    m_console.Line(m_slot, "the port has gone away; waiting for it to come back");
    m_console.Status(m_slot, "Waiting for the port");
    while (Pause(kReopenPauseMs)) {
        if (line.Open()) {
            m_device = serial.DevicePath();
            m_console.Line(m_slot, "the port is back (" + m_device + ")");
            return true;
        }
    }
    return false;
}
