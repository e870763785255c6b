#pragma once
// gpsim module "fernbow_uart": the chip's serial line, bridged to a file
// descriptor (a pseudo-terminal of its own, or one handed over by fernbow-sim)
// at 19200 baud 8N1 with the bit timing counted in simulated cycles, paced to
// the wall clock. Pins: "out" drives the chip's RX (RB2), "in" samples its TX
// (RB5), "mclr" drives its reset pin (SIGUSR1 holds it low for a millisecond
// of simulated time). A launcher blocks SIGUSR1 before it starts gpsim; the
// module unblocks it once its handler is in place, so an early request waits
// instead of ending gpsim.
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
    Integer* m_pacedAttr = nullptr;    // 0 runs unpaced
    Integer* m_traceAttr = nullptr;    // 1 prints every byte
    int m_fd = -1;
    int m_heldSlave = -1;
    bool m_lineOpen = false;
    bool m_lineEnded = false;
    std::deque<unsigned char> m_pending;  // from the host, not yet on the wire
    unsigned long long m_bytesToChip = 0;
};
