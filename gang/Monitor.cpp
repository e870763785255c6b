#include "Monitor.h"

#include <algorithm>

namespace {

constexpr uint8_t kCtrlC = 0x03;

} // namespace

MonitorEnd RunMonitor(IPortLink& port, MonitorTerminal& terminal, const std::atomic<bool>* interrupted,
                      const std::function<bool()>& pause)
{
    bool inputOpen = true;
    for (;;) {
        if (interrupted && *interrupted)
            return MonitorEnd::Interrupted;
        // One byte at a time: Read returns the moment one is there, so each
        // reaches the screen at once rather than after the 5 ms wait.
        // A bounded number per pass, so that a chatty board cannot keep the
        // keys and Ctrl-C from being seen.
        uint8_t byte = 0;
        for (int i = 0; i < 256 && port.Read(&byte, 1) == 1; ++i) {
            const MonitorTerminal::Write wrote = terminal.WriteOutput(&byte, 1);
            if (wrote != MonitorTerminal::Write::Done)
                return wrote == MonitorTerminal::Write::Closed ? MonitorEnd::OutputClosed : MonitorEnd::Interrupted;
        }
        if (port.LineLost())
            return MonitorEnd::LineLost;

        uint8_t typed[256];
        const int n = inputOpen ? terminal.ReadInput(typed, sizeof typed) : 0;
        if (n < 0)
            inputOpen = false;  // piped input has ended: the board is still shown
        if (n > 0) {
            const uint8_t* end = typed + n;
            const uint8_t* stop = terminal.RawKeys() ? std::find(static_cast<const uint8_t*>(typed), end, kCtrlC) : end;
            // A line that has gone away is the port's to say (on the next pass).
            if (stop > typed)
                (void)port.WriteThrough(typed, static_cast<uint32_t>(stop - typed));
            if (stop != end)
                return MonitorEnd::Interrupted;
        }
        if (pause && pause())
            return MonitorEnd::Paused;
    }
}
