#pragma once
// gpsim module "fernbow_uart": the chip's serial line, bridged to a file
// descriptor ("fd": one handed over by fernbow-sim, or -1 for a
// pseudo-terminal of its own) in 8N1, each bit's edges at their own
// simulated cycle. The bit rate is the one the host set on its terminal
// ("ratefd"), else "baud" (19200); simulated time keeps step with the wall
// clock unless "realtime" is 0. Pins: "out" drives the chip's RX (RB2), "in"
// samples its TX (RB5), "mclr" drives its reset pin: each reset signal
// (ResetSignal.h) holds it low for a millisecond of simulated time. "drop"
// and "corrupt" spoil one byte to the chip, "dropfast" one of those sent
// while the line is not at 19200 (a rate switch the chip missed); "trace"
// prints every byte.
#include "RealTimePacer.h"
#include <gpsim/modules.h>
#include <gpsim/trigger.h>
#include <deque>
#include <memory>
#include <string>

class IO_bi_directional;
class Integer;

class LineUart : public Module {
public:
    static Module* Construct(const char* name);
    explicit LineUart(const char* name);
    ~LineUart() override;

    // From the receive pin: the chip moved its TX line.
    void ChipLineChanged(bool high);

private:
    class ToChip;
    class FromChip;
    class InPin;

    void Wait(long long ns);
    bool OpenLine();
    void TakeInput(bool hungUp);
    void StartNextByte();
    void ByteFromChip(unsigned byte, bool framed);
    void HandleReset();
    long Baud() const;
    double CyclesPerBit() const;
    long long Attribute(Integer* attribute) const;

    RealTimePacer m_pacer;
    std::unique_ptr<ToChip> m_toChip;
    std::unique_ptr<FromChip> m_fromChip;
    IO_bi_directional* m_out = nullptr;
    InPin* m_in = nullptr;
    IO_bi_directional* m_mclr = nullptr;
    Integer* m_fdAttr = nullptr;       // the line: -1 opens a pty
    Integer* m_baudAttr = nullptr;
    Integer* m_rateFdAttr = nullptr;   // a terminal whose rate overrides baud: the host's side
    Integer* m_corruptAttr = nullptr;  // 1-based number of the received byte to corrupt, 0 none
    Integer* m_dropAttr = nullptr;     // 1-based number of the received byte to drop, 0 none
    Integer* m_dropFastAttr = nullptr; // ... of the bytes received while the line is not at 19200
    Integer* m_pacedAttr = nullptr;    // 0 runs unpaced
    Integer* m_traceAttr = nullptr;    // 1 prints every byte
    int m_fd = -1;
    int m_heldSlave = -1;
    bool m_lineOpen = false;
    bool m_lineEnded = false;
    std::deque<unsigned char> m_pending;  // from the host, not yet on the wire
    unsigned long long m_bytesToChip = 0;
    unsigned long long m_fastBytesToChip = 0;  // those while the line was not at 19200
};
