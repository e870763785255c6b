#include "LineUart.h"
#include "LinePty.h"
#include "LineRate.h"
#include "ResetSignal.h"
#include "SignalCatch.h"
#include <gpsim/breakpoints.h>
#include <gpsim/gpsim_time.h>
#include <gpsim/stimuli.h>
#include <gpsim/value.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {
std::atomic<int> g_resetRequests{0};
// How long a reset request holds MCLR low, in simulated seconds.
constexpr double kResetSeconds = 0.001;
// More than a frame's bytes waiting for the chip are left in the line.
constexpr size_t kQueueBytes = 128;
// The rate every session starts at; "dropfast" counts the bytes sent at another.
constexpr long kSessionBaud = 19200;

extern "C" void OnResetSignal(int) { g_resetRequests.fetch_add(1); }

void Say(const char* module, const std::string& text)
{
    std::printf("fernbow_uart %s: %s\n", module, text.c_str());
    std::fflush(stdout);
}
}  // namespace

// Sends one byte into the chip: start bit, 8 data bits LSB first, stop bit,
// each edge at its own cycle so the fraction of a bit never accumulates.
class LineUart::ToChip : public TriggerObject {
public:
    ToChip(LineUart& owner) : m_owner(owner) {}
    ~ToChip() override
    {
        if (m_busy) get_cycles().clear_break(this);
    }
    bool Busy() const { return m_busy; }
    void Send(unsigned byte, double cyclesPerBit)
    {
        m_frame = (byte & 0xFF) << 1 | 0x200;  // start 0, data, stop 1
        m_bit = 0;
        m_cpb = cyclesPerBit;
        m_start = get_cycles().get();
        m_busy = true;
        Edge();
    }
    void callback() override { Edge(); }
    void callback_print() override { std::printf("fernbow_uart: bit to the chip\n"); }

private:
    void Edge()
    {
        if (m_bit == 10) {
            m_busy = false;
            m_owner.StartNextByte();
            return;
        }
        m_owner.m_out->putState(((m_frame >> m_bit) & 1) != 0);
        ++m_bit;
        get_cycles().set_break(m_start + static_cast<unsigned long long>(m_bit * m_cpb + 0.5), this);
    }
    LineUart& m_owner;
    unsigned m_frame = 0;
    unsigned m_bit = 0;
    double m_cpb = 0;
    unsigned long long m_start = 0;
    bool m_busy = false;
};

// Samples a byte from the chip in the middle of each bit after a start edge.
class LineUart::FromChip : public TriggerObject {
public:
    FromChip(LineUart& owner) : m_owner(owner) {}
    ~FromChip() override
    {
        if (m_busy) get_cycles().clear_break(this);
    }
    void Level(bool high)
    {
        m_level = high;
        if (m_busy || high) return;
        m_busy = true;
        m_start = get_cycles().get();
        m_cpb = m_owner.CyclesPerBit();
        m_bit = 0;
        m_byte = 0;
        Next();
    }
    void callback() override
    {
        if (m_bit == 0 && m_level) {  // a glitch, not a start bit
            m_busy = false;
            return;
        }
        if (m_bit >= 1 && m_bit <= 8) m_byte |= (m_level ? 1u : 0u) << (m_bit - 1);
        if (m_bit == 9) {  // the stop bit; low is a framing error
            m_busy = false;
            m_owner.ByteFromChip(m_byte, m_level);
            return;
        }
        ++m_bit;
        Next();
    }
    void callback_print() override { std::printf("fernbow_uart: bit from the chip\n"); }

private:
    void Next() { get_cycles().set_break(m_start + static_cast<unsigned long long>((m_bit + 0.5) * m_cpb + 0.5), this); }
    LineUart& m_owner;
    bool m_level = true;
    bool m_busy = false;
    unsigned m_bit = 0, m_byte = 0;
    double m_cpb = 0;
    unsigned long long m_start = 0;
};

class LineUart::InPin : public IO_bi_directional_pu {
public:
    InPin(LineUart& owner, const char* name) : IO_bi_directional_pu(name), m_owner(owner)
    {
        update_pullup('1', false);
    }
    void setDrivenState(bool state) override
    {
        IO_bi_directional_pu::setDrivenState(state);
        m_owner.ChipLineChanged(state);
    }

private:
    LineUart& m_owner;
};

Module* LineUart::Construct(const char* name)
{
    return new LineUart(name);
}

LineUart::LineUart(const char* name)
    : Module(name, "serial line of the chip on a pseudo-terminal"), m_pacer([this](long long ns) { Wait(ns); })
{
    m_toChip = std::make_unique<ToChip>(*this);
    m_fromChip = std::make_unique<FromChip>(*this);
    create_pkg(3);
    m_out = new IO_bi_directional("out");
    m_in = new InPin(*this, "in");
    m_mclr = new IO_bi_directional("mclr");
    assign_pin(1, m_out);
    assign_pin(2, m_in);
    assign_pin(3, m_mclr);
    for (IOPIN* pin : {static_cast<IOPIN*>(m_out), static_cast<IOPIN*>(m_mclr)}) {
        pin->update_direction(IOPIN::DIR_OUTPUT, true);
        pin->putState(true);  // an idle line, and the chip out of reset
    }
    m_in->update_direction(IOPIN::DIR_INPUT, true);
    for (IOPIN* pin : {static_cast<IOPIN*>(m_out), static_cast<IOPIN*>(m_in), static_cast<IOPIN*>(m_mclr)}) addSymbol(pin);
    m_fdAttr = new Integer("fd", -1, "file descriptor of the line; -1 opens a pseudo-terminal");
    m_baudAttr = new Integer("baud", 19200, "bits per second");
    m_rateFdAttr = new Integer("ratefd", -1, "a terminal whose rate the line follows (the host's), -1 for none");
    m_corruptAttr = new Integer("corrupt", 0, "number (from 1) of the byte to the chip to corrupt; 0 none");
    m_dropAttr = new Integer("drop", 0, "number (from 1) of the byte to the chip to drop; 0 none");
    m_dropFastAttr = new Integer("dropfast", 0, "number (from 1) of the byte to the chip to drop among those sent while the line is not at 19200 baud; 0 none");
    m_pacedAttr = new Integer("realtime", 1, "1 keeps simulated time in step with the wall clock");
    m_traceAttr = new Integer("trace", 0, "1 prints every byte on the line");
    for (Integer* a : {m_fdAttr, m_baudAttr, m_rateFdAttr, m_corruptAttr, m_dropAttr, m_dropFastAttr, m_pacedAttr, m_traceAttr}) addSymbol(a);

    CatchSignal(kResetSignal, OnResetSignal);
    UnblockSignal(kResetSignal);
    // The line opens at the pacer's first tick, once the script has set the
    // attributes and the simulation runs.
    m_pacer.Start();
}

LineUart::~LineUart()
{
    if (m_fd >= 0) ::close(m_fd);
    if (m_heldSlave >= 0) ::close(m_heldSlave);
}

long long LineUart::Attribute(Integer* attribute) const
{
    gint64 v = 0;
    attribute->get(v);
    return v;
}

// As on a wire: bits are as long as the host's port makes them, so a
// program talking at another rate is heard only by a host set to it. Asked
// at every byte, so a host that switches is followed from its next byte.
long LineUart::Baud() const
{
    const long long rateFd = Attribute(m_rateFdAttr);
    const long hostRate = rateFd >= 0 ? LineRate(static_cast<int>(rateFd)) : 0;
    const long long baud = hostRate > 0 ? hostRate : Attribute(m_baudAttr);
    return baud > 0 ? static_cast<long>(baud) : kSessionBaud;
}

double LineUart::CyclesPerBit() const
{
    const double cps = get_cycles().instruction_cps();
    return (cps > 0 ? cps : 2e6) / static_cast<double>(Baud());
}

bool LineUart::OpenLine()
{
    m_lineOpen = true;
    const long long fd = Attribute(m_fdAttr);
    if (fd >= 0) {
        m_fd = static_cast<int>(fd);
        fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        Say(name().c_str(), "line on descriptor " + std::to_string(m_fd));
        return true;
    }
    std::string path, error;
    m_fd = OpenLinePty(path, m_heldSlave, error);
    if (m_fd < 0) {
        Say(name().c_str(), error);
        return false;
    }
    Say(name().c_str(), "pty " + path);
    return true;
}

// At each pacer tick (half a millisecond of simulated time): a pending
// reset, the line's input, and the real time the tick is ahead spent
// waiting for the host.
void LineUart::Wait(long long ns)
{
    if (!m_lineOpen) {
        m_pacer.SetPaced(Attribute(m_pacedAttr) != 0);
        OpenLine();
        return;
    }
    HandleReset();
    if (m_fd < 0 || m_lineEnded) return;
    // Bytes queued for the chip beyond a frame stay in the descriptor, as a
    // full receive buffer would hold back the sender.
    const bool room = m_pending.size() < kQueueBytes;
    pollfd p{m_fd, static_cast<short>(room ? POLLIN : 0), 0};
    timespec t{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const int ready = ppoll(&p, 1, &t, nullptr);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) TakeInput((p.revents & (POLLHUP | POLLERR)) != 0 && !(p.revents & POLLIN));
        // Input came early in the wait: wait out the rest of it.
        const long long spent =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
        if (ready == 0 || spent >= ns || m_lineEnded) break;
        const long long rest = ns - spent;
        t = {static_cast<time_t>(rest / 1000000000LL), static_cast<long>(rest % 1000000000LL)};
        if (m_pending.size() >= kQueueBytes) p.events = 0;
    }
}

void LineUart::TakeInput(bool hungUp)
{
    unsigned char buffer[256];
    const ssize_t got = hungUp ? 0 : ::read(m_fd, buffer, sizeof buffer);
    if (got > 0) {
        m_pending.insert(m_pending.end(), buffer, buffer + got);
        if (!m_toChip->Busy()) StartNextByte();
        return;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR || errno == EIO)) return;
    // The other end closed the line: the run is over, the script goes on
    // after its "run" (a dump, quit).
    m_lineEnded = true;
    Say(name().c_str(), "line closed, simulation stopped");
    bp.halt();
}

void LineUart::StartNextByte()
{
    while (!m_pending.empty() && !m_toChip->Busy()) {
        unsigned byte = m_pending.front();
        m_pending.pop_front();
        ++m_bytesToChip;
        const unsigned long long n = m_bytesToChip;
        if (static_cast<long long>(n) == Attribute(m_dropAttr)) {
            Say(name().c_str(), "dropped byte " + std::to_string(n));
            continue;
        }
        const long baud = Baud();
        if (baud != kSessionBaud && static_cast<long long>(++m_fastBytesToChip) == Attribute(m_dropFastAttr)) {
            Say(name().c_str(), "dropped byte " + std::to_string(n) + " (number " + std::to_string(m_fastBytesToChip) +
                                    " not at 19200 baud: " + std::to_string(baud) + ")");
            continue;
        }
        if (static_cast<long long>(n) == Attribute(m_corruptAttr)) {
            byte ^= 0x10;
            Say(name().c_str(), "corrupted byte " + std::to_string(n));
        }
        if (Attribute(m_traceAttr))
            std::printf("fernbow_uart: cycle %llu to chip %02X\n", static_cast<unsigned long long>(get_cycles().get()), byte);
        m_toChip->Send(byte, CyclesPerBit());
    }
}

void LineUart::ChipLineChanged(bool high)
{
    if (m_fromChip) m_fromChip->Level(high);
}

void LineUart::ByteFromChip(unsigned byte, bool framed)
{
    if (Attribute(m_traceAttr))
        std::printf("fernbow_uart: cycle %llu from chip %02X%s\n", static_cast<unsigned long long>(get_cycles().get()),
                    byte, framed ? "" : " (framing error)");
    if (!framed || m_fd < 0 || m_lineEnded) return;
    const unsigned char b = static_cast<unsigned char>(byte);
    // Nobody reading: the byte is lost, as on a line with no one listening.
    [[maybe_unused]] const ssize_t w = ::write(m_fd, &b, 1);
}

// A reset request holds MCLR low for kResetSeconds of simulated time. The
// CPU stays in reset meanwhile (gpsim would run it with the pin low), and
// the rest of the chip and the line keep their time, as in a flash stall.
void LineUart::HandleReset()
{
    if (g_resetRequests.exchange(0) == 0) return;
    m_mclr->putState(false);
    const double cps = get_cycles().instruction_cps();
    const auto cycles = static_cast<unsigned long long>(kResetSeconds * (cps > 0 ? cps : 2e6));
    for (unsigned long long i = 0; i < cycles; ++i) get_cycles().increment();
    m_mclr->putState(true);
    Say(name().c_str(), "reset");
}
