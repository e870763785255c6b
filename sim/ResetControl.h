#pragma once
#include "UniqueFd.h"

#include <string>

// The board's reset pin as the host can reach it: a pseudo-terminal has no
// modem lines, so the board offers a FIFO beside its COMn link
// (Ports/COMn.reset) into which fernbow-cli writes the line it pulses
// ("DTR\n" or "RTS\n"). Removed when the object goes.
class ResetControl {
public:
    ResetControl() = default;
    ResetControl(const ResetControl&) = delete;
    ResetControl& operator=(const ResetControl&) = delete;
    ~ResetControl();

    bool Create(int port, std::string& error);
    // Readable when a pulse has come; -1 when there is no control.
    int Fd() const { return m_fd.Get(); }
    // The names of the lines pulsed since the last call, one per pulse.
    std::string TakePulses();

private:
    std::string m_path;
    UniqueFd m_fd;
};
