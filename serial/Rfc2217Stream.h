#pragma once
#include "LineStream.h"
#include "PortLink.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The data channel of a Telnet session with the COM-PORT-OPTION (RFC 2217)
// over another stream: 0xFF bytes are doubled on the way out and undoubled
// on the way in, the far end's option requests are answered, and the line
// is set up and purged through the option's commands.
class CRfc2217Stream : public ILineStream {
public:
    explicit CRfc2217Stream(std::unique_ptr<ILineStream> inner);

    // Agrees on the options (binary both ways, COM-PORT-OPTION), then sets
    // baud 8N1, no flow control, DTR raised and RTS lowered, and waits for the
    // server to confirm the rate. false with error saying why when the server
    // refuses the option, says nothing within timeoutMs, or hangs up.
    bool Start(int baud, int timeoutMs, std::string& error);

    bool Send(const uint8_t* data, size_t count, int timeoutMs) override;
    int Receive(uint8_t* buffer, size_t count, int timeoutMs) override;
    // Drops what has arrived here and asks the server to purge both of the
    // line's directions (PURGE-DATA).
    bool Purge() override;

    // SET-BAUDRATE; true once the server has confirmed it within timeoutMs.
    bool SetRate(int baud, int timeoutMs);
    // SET-CONTROL: line on or off.
    bool SetModemLine(ModemLine line, bool on);

private:
    enum class State { Data, Command, Option, Sub, SubCommand };

    // Takes raw bytes from the connection apart: data goes to out (at most
    // room bytes), commands are acted on. Returns the data bytes stored.
    size_t Decode(const uint8_t* raw, size_t count, uint8_t* out);
    void OnOption(uint8_t verb, uint8_t option);
    void OnSubnegotiation();
    bool SendCommand(uint8_t verb, uint8_t option);
    bool SendComPortCommand(uint8_t command, const std::vector<uint8_t>& value);
    // Reads and acts on whatever comes until done() or timeoutMs; data that
    // comes meanwhile is kept for Receive. false on time-out or hang-up.
    template <typename Done> bool WaitUntil(Done done, int timeoutMs);

    std::unique_ptr<ILineStream> m_inner;
    State m_state = State::Data;
    uint8_t m_verb = 0;
    std::vector<uint8_t> m_sub;
    std::vector<uint8_t> m_pending;  // data decoded while waiting for a reply
    bool m_sendFailed = false;
    // Options in force, by side; each bit is an option number below 64.
    uint64_t m_weWill = 0;
    uint64_t m_theyWill = 0;
    bool m_comPortRefused = false;
    bool m_comPortAgreed = false;
    uint32_t m_confirmedBaud = 0;
};
