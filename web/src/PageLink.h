#pragma once
#include "SerialLink.h"

// The serial line of the page: Web Serial, or the WebSocket test port. The
// page's script owns the port (Module.link); this class only asks it, and
// waits for its bytes by suspending the engine until they come.
//
// It keeps the fixed rate (SetRate and CanSetRate say no): Web Serial sets
// the rate only when a port opens, and closing it to reopen at another rate
// drops DTR on most systems, which resets a board wired for reset, and
// throws away what is still on its way in. The test port's rate is its
// server's.
class PageLink : public ISerialLink {
public:
    int Open() override;
    int Close() override;
    int Read(uint8_t* buffer, uint32_t count) override;
    int Write(const uint8_t* buffer, uint32_t count) override;
    bool IsOpen() const override;
    // Beyond a local port's: the test port's network hops.
    int AnswerSlackMs() const override;
};
