#pragma once
#include "LineStream.h"
#include "PortLink.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The data channel of a Telnet session with the COM-PORT-OPTION (RFC 2217)
// over another stream: 0xFF bytes are doubled on the way out and undoubled
// on the way in, the far end's option requests are answered, and the line
// is set up and purged through the option's commands.
//
// Nothing here waits on a send while reading: answers to the far end's
// requests are queued and go out as the connection takes them, with
// whatever is sent next. Once a send has failed nothing more is sent.
class Rfc2217Stream : public ILineStream {
public:
    explicit Rfc2217Stream(std::unique_ptr<ILineStream> inner);

    // Agrees on the options (binary both ways, COM-PORT-OPTION), then sets
    // baud 8N1, no flow control, DTR raised and RTS lowered, and waits for the
    // server to confirm the rate: two round trips. Not Ok, its text saying
    // why, when the server refuses the option (Unsupported) or binary mode
    // or the rate (Refused), says nothing within timeoutMs (Timeout), or
    // hangs up (Lost).
    PortResult Start(int baud, int timeoutMs);
    // How long the server took to answer the options in Start, in ms
    // (rounded up): the connection's round trip.
    int RoundTripMs() const { return m_roundTripMs; }

    // Sends all of data or, when the connection does not take it within
    // timeoutMs, counts the connection as failed: Lost.
    StreamIo SendSome(const uint8_t* data, size_t count, int timeoutMs) override;
    // Reads for at most timeoutMs even while the far end sends nothing but
    // commands; Lost also once the server has left binary mode.
    StreamIo Receive(uint8_t* buffer, size_t count, int timeoutMs) override;
    // Drops what has arrived here (for at most kDrainBoundMs) and asks the
    // server to purge both of the line's directions (PURGE-DATA, sent with
    // the next send); data that comes before the server confirms it is
    // dropped too.
    PortResult Purge() override;

    // SET-BAUDRATE; Ok once the server has confirmed it within timeoutMs.
    // Otherwise the last confirmed rate is asked for again (not awaited).
    PortResult SetRate(int baud, int timeoutMs);
    // SET-CONTROL: line on or off.
    PortResult SetModemLine(ModemLine line, bool on);

    // A sub-negotiation longer than this is not one: its bytes are dropped
    // and what follows is data again.
    static constexpr size_t kMaxSubnegotiation = 256;
    // Data that comes while a command waits for its answer is kept for
    // Receive up to this much (seconds of a serial line's bytes).
    static constexpr size_t kMaxPending = 64 * 1024;
    // A server that has not confirmed a purge within this is taken not to
    // confirm them: data is no longer held back for the confirmation.
    static constexpr int kPurgeConfirmMs = 1000;
    // Answers queued for a far end that does not read are dropped past this.
    static constexpr size_t kMaxQueuedAnswers = 1024;

private:
    enum class State { Data, Command, Option, Sub, SubCommand };

    // Takes raw bytes from the connection apart: data goes to out (room for
    // count bytes), commands are acted on. Returns the data bytes stored.
    size_t Decode(const uint8_t* raw, size_t count, uint8_t* out);
    void OnOption(uint8_t verb, uint8_t option);
    void OnSubnegotiation();
    // Queue a command to the server; Flush sends the queue. An answer to a
    // request is dropped while kMaxQueuedAnswers bytes wait.
    void QueueAnswer(uint8_t verb, uint8_t option);
    void QueueComPortCommand(uint8_t command, const std::vector<uint8_t>& value);
    // A NOP, so that the server hears at once that its last packet came.
    void QueueAcknowledgement();
    void QueueSetRate(int baud);
    // Sends what is queued within timeoutMs (0: what the connection takes at
    // once). true when the queue is empty afterwards.
    bool Flush(int timeoutMs);
    // One read of up to timeoutMs from the connection: data goes to out
    // (room for count bytes), commands are acted on and answered. The data
    // bytes stored, or -1 once the connection is gone.
    int ReadRaw(uint8_t* out, size_t count, int timeoutMs);
    // Reads and acts on whatever comes until done() or timeoutMs; data that
    // comes meanwhile is kept for Receive. false on time-out or hang-up.
    template <typename Done> bool WaitUntil(Done done, int timeoutMs);
    bool BinaryAnswered() const { return m_binaryAnswers == 3; }
    // The connection is gone: why is kept (the first reason only), and
    // nothing more is sent.
    void Fail(const PortResult& why);
    bool Failed() const { return !m_failure.Ok(); }
    // Why the connection went when it has, otherwise status with text.
    PortResult HungUpOr(PortStatus status, const std::string& text) const;
    // Why SET-BAUDRATE went unconfirmed: hung up, no answer, or another rate.
    PortResult RateUnconfirmed(int baud) const;

    std::unique_ptr<ILineStream> m_inner;
    State m_state = State::Data;
    uint8_t m_verb = 0;
    std::vector<uint8_t> m_sub;
    std::vector<uint8_t> m_pending;  // data decoded while waiting for a reply
    std::vector<uint8_t> m_out;      // escaped bytes not yet taken by the connection
    // Why a send or read failed (Ok while none has): the connection is
    // gone, nothing more is sent.
    PortResult m_failure;
    // Options in force, by side; each bit is an option number below 64.
    uint64_t m_weWill = 0;
    uint64_t m_theyWill = 0;
    bool m_comPortRefused = false;
    bool m_comPortAgreed = false;
    // Bit 0: the server answered our WILL BINARY; bit 1: our DO BINARY.
    uint8_t m_binaryAnswers = 0;
    bool m_binaryRefused = false;
    uint32_t m_confirmedBaud = 0;
    int m_lineBaud = 0;  // the rate the server last confirmed as asked
    // Purges asked for and not yet confirmed; data is stale until then.
    int m_purgesAwaited = 0;
    std::chrono::steady_clock::time_point m_purgeAskedAt;
    bool m_confirmsPurges = true;
    // The first data after a purge's confirmation is acknowledged at once too.
    bool m_acknowledgeAnswer = false;
    int m_roundTripMs = 0;
};
