// The Telnet layer of rfc2217:// ports against a scripted server.
#include "Rfc2217Stream.h"

#include "NetworkLink.h"
#include "WakeUp.h"

#include <chrono>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, NOP = 241, SE = 240;

// The server's side: what it has sent (handed out chunk bytes per read,
// delayMs after it was said) and what it has received; react answers what
// the client sent. takes: bytes it takes per send (-1 all of them; -2: the
// connection fails). flood: said again and again, without end.
struct ScriptedServer : ILineStream {
    using Clock = std::chrono::steady_clock;
    std::deque<std::pair<Clock::time_point, uint8_t>> toClient;
    Bytes fromClient;
    size_t chunk = 64;
    int delayMs = 0;
    int takes = -1;
    Bytes flood;
    std::vector<int> sendTimeouts;
    std::function<void(ScriptedServer&, const Bytes&)> react;

    StreamIo SendSome(const uint8_t* data, size_t count, int timeoutMs) override
    {
        sendTimeouts.push_back(timeoutMs);
        if (takes == -2) return StreamIo{0, PortResult{PortStatus::Lost, "reset"}};
        const size_t n = takes < 0 ? count : std::min(count, static_cast<size_t>(takes));
        const Bytes sent(data, data + n);
        fromClient.insert(fromClient.end(), sent.begin(), sent.end());
        if (react) react(*this, sent);
        return StreamIo{static_cast<int>(n), PortResult{}};
    }
    StreamIo Receive(uint8_t* buffer, size_t count, int timeoutMs) override
    {
        if (!flood.empty()) {
            for (size_t n = 0; n < count; ++n) buffer[n] = flood[n % flood.size()];
            return StreamIo{static_cast<int>(count), PortResult{}};
        }
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        if (!toClient.empty() && toClient.front().first > Clock::now())
            std::this_thread::sleep_until(std::min(end, toClient.front().first));
        size_t n = 0;
        while (n < count && n < chunk && !toClient.empty() && toClient.front().first <= Clock::now()) {
            buffer[n++] = toClient.front().second;
            toClient.pop_front();
        }
        return StreamIo{static_cast<int>(n), PortResult{}};
    }
    PortResult Purge() override { return PortResult{}; }
    void Say(const Bytes& bytes)
    {
        for (uint8_t b : bytes) toClient.emplace_back(Clock::now() + std::chrono::milliseconds(delayMs), b);
    }
};

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool Contains(const Bytes& haystack, const Bytes& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// Where the rate request's value starts in sent (IAC SB 44 SET-BAUDRATE b3 b2 b1 b0 IAC SE), or 0.
size_t RateRequest(const Bytes& sent)
{
    const Bytes head = {IAC, SB, 44, 1};
    const auto at = std::search(sent.begin(), sent.end(), head.begin(), head.end());
    return at == sent.end() || sent.end() - at < 10 ? 0 : static_cast<size_t>(at - sent.begin()) + 4;
}

// A server that takes the options and confirms the rate it was asked for.
void Cooperative(ScriptedServer& s, const Bytes& sent)
{
    if (Contains(sent, {IAC, WILL, 44})) s.Say({IAC, DO, 44, IAC, DO, 0, IAC, WILL, 0});
    if (const size_t v = RateRequest(sent)) s.Say({IAC, SB, 44, 101, sent[v], sent[v + 1], sent[v + 2], sent[v + 3], IAC, SE});
    if (Contains(sent, {IAC, SB, 44, 12, 3, IAC, SE})) s.Say({IAC, SB, 44, 112, 3, IAC, SE});
}

TEST(Rfc2217Start, SetsTheLineUpOnceTheServerTakesTheOption)
{
    auto server = std::make_unique<ScriptedServer>();
    ScriptedServer& s = *server;
    s.react = Cooperative;
    Rfc2217Stream stream(std::move(server));
    const PortResult started = stream.Start(19200, 1000);
    ASSERT_TRUE(started.Ok()) << started.osText;
    // 8 data bits, no parity, one stop bit, no flow control, DTR on, RTS off, 19200.
    const Bytes settings = {IAC, SB, 44, 2, 8,  IAC, SE, IAC, SB, 44, 3, 1,    IAC,  SE,  IAC, SB, 44, 4, 1, IAC, SE,
                            IAC, SB, 44, 5, 1,  IAC, SE, IAC, SB, 44, 5, 8,    IAC,  SE,  IAC, SB, 44, 5, 12, IAC,
                            SE,  IAC, SB, 44, 1, 0,  0,  0x4B, 0,  IAC, SE};
    EXPECT_TRUE(Contains(s.fromClient, settings));
    EXPECT_TRUE(Contains(s.fromClient, {IAC, WILL, 0}));
    EXPECT_TRUE(Contains(s.fromClient, {IAC, DO, 0}));

    // Purging asks the server to empty both directions, ahead of the next
    // write and in the same send; what came before, and what comes up to the
    // server's confirmation (a byte it held back), is dropped.
    s.Say({'x', 'y'});
    s.fromClient.clear();
    ASSERT_TRUE(stream.Purge().Ok());
    s.Say({'s', IAC, IAC});
    const uint8_t wakeUp = 0xC1;
    ASSERT_TRUE(stream.Send(&wakeUp, 1, 100).Ok());
    EXPECT_EQ(s.fromClient, (Bytes{IAC, SB, 44, 12, 3, IAC, SE, 0xC1}));
    s.Say({'n'});
    uint8_t got[4];
    EXPECT_EQ(stream.Receive(got, sizeof got, 0).count, 1);
    EXPECT_EQ(got[0], 'n');

    // A rate with 0xFF in it is escaped inside the command too; unconfirmed,
    // it is not taken as set, and the server is asked for the old one again.
    s.fromClient.clear();
    s.react = nullptr;
    EXPECT_EQ(stream.SetRate(0x1FF, 50).status, PortStatus::Timeout);
    EXPECT_EQ(s.fromClient, (Bytes{IAC, SB, 44, 1, 0, 0, 1, IAC, IAC, IAC, SE, IAC, SB, 44, 1, 0, 0, 0x4B, 0, IAC, SE}));
}

TEST(Rfc2217Start, FailsWithAReasonWhenTheServerRefusesOrSaysNothing)
{
    const struct {
        const char* name;
        std::function<void(ScriptedServer&, const Bytes&)> react;
        const char* why;
        PortStatus status;
    } cases[] = {
        {"refused", [](ScriptedServer& s, const Bytes& sent) { if (Contains(sent, {IAC, WILL, 44})) s.Say({IAC, DONT, 44}); },
         "does not offer RFC 2217", PortStatus::Unsupported},
        {"silent", nullptr, "did not answer", PortStatus::Timeout},
        {"rate not confirmed",
         [](ScriptedServer& s, const Bytes& sent) {
             if (Contains(sent, {IAC, WILL, 44})) s.Say({IAC, DO, 44, IAC, DO, 0, IAC, WILL, 0});
             if (RateRequest(sent)) s.Say({IAC, SB, 44, 101, 0, 0, 0x25, 0x80, IAC, SE});
         },
         "did not confirm 19200 baud", PortStatus::Refused},
        // Telnet's text mode would alter the frames' bytes.
        {"binary refused",
         [](ScriptedServer& s, const Bytes& sent) { if (Contains(sent, {IAC, WILL, 44})) s.Say({IAC, DO, 44, IAC, DO, 0, IAC, WONT, 0}); },
         "refuses Telnet binary mode", PortStatus::Refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto server = std::make_unique<ScriptedServer>();
        server->react = c.react;
        Rfc2217Stream stream(std::move(server));
        const PortResult result = stream.Start(19200, 100);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.osText.find(c.why), std::string::npos) << result.osText;
    }
}

// Data comes out with doubled 0xFF undoubled and every command taken out,
// however the bytes are cut into reads; requests get one answer each.
TEST(Rfc2217Receive, DecodesDataAndAnswersRequests)
{
    const struct {
        const char* name;
        Bytes fromServer;
        Bytes data;
        Bytes answers;
    } cases[] = {
        {"plain", {'a', 'b'}, {'a', 'b'}, {}},
        {"doubled IAC", {'a', IAC, IAC, 'b'}, {'a', 0xFF, 'b'}, {}},
        {"notice inside data", {'a', IAC, SB, 44, 107, 0x30, IAC, SE, 'b'}, {'a', 'b'}, {}},
        {"IAC inside a notice", {IAC, SB, 44, 106, IAC, IAC, IAC, SE, 'c'}, {'c'}, {}},
        {"unknown option refused", {IAC, DO, 24, IAC, WILL, 1, 'd'}, {'d'}, {IAC, WONT, 24, IAC, DONT, 1}},
        {"agreed option not answered again", {IAC, DO, 0, IAC, WILL, 0, 'e'}, {'e'}, {}},
        {"option dropped", {IAC, DONT, 3}, {}, {IAC, WONT, 3}},
        {"NOP and GA", {IAC, 241, 'f', IAC, 249}, {'f'}, {}},
        // The purge's confirmation is acknowledged at once, so a server that
        // holds small packets back does not hold the answer behind it.
        {"purge confirmed", {IAC, SB, 44, 112, 3, IAC, SE}, {}, {IAC, NOP}},
        {"sub-negotiation without its end", Concat(Concat({IAC, SB, 44}, Bytes(Rfc2217Stream::kMaxSubnegotiation, 'z')), {'g'}),
         {'g'}, {}},
    };
    for (const auto& c : cases) {
        for (size_t chunk : {size_t{1}, size_t{3}, size_t{64}}) {
            SCOPED_TRACE(std::string(c.name) + ", reads of " + std::to_string(chunk));
            auto server = std::make_unique<ScriptedServer>();
            ScriptedServer& s = *server;
            s.react = Cooperative;
            Rfc2217Stream stream(std::move(server));
            const PortResult started = stream.Start(19200, 1000);
            ASSERT_TRUE(started.Ok()) << started.osText;
            s.fromClient.clear();
            s.chunk = chunk;
            s.Say(c.fromServer);
            Bytes data;
            for (int i = 0; i < 1024 && !s.toClient.empty(); ++i) {
                uint8_t buffer[8];
                const StreamIo got = stream.Receive(buffer, sizeof buffer, 0);
                ASSERT_TRUE(got.Ok());
                data.insert(data.end(), buffer, buffer + got.count);
            }
            EXPECT_EQ(data, c.data);
            EXPECT_EQ(s.fromClient, c.answers);
        }
    }
}

TEST(Rfc2217Send, DoublesEvery0xFF)
{
    auto server = std::make_unique<ScriptedServer>();
    ScriptedServer& s = *server;
    Rfc2217Stream stream(std::move(server));
    const Bytes data = {0xC1, 0xFF, 0x00, 0xFF, 0xFF};
    ASSERT_TRUE(stream.Send(data.data(), data.size(), 100).Ok());
    EXPECT_EQ(s.fromClient, (Bytes{0xC1, IAC, IAC, 0x00, IAC, IAC, IAC, IAC}));
}

// A server that floods the connection ends neither a read nor a purge late.
TEST(Rfc2217Receive, FloodsAreReadForABoundedTime)
{
    const struct { const char* name; Bytes flood; } cases[] = {{"data", {'z'}}, {"commands", {IAC, NOP}}, {"requests", {IAC, WILL, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto server = std::make_unique<ScriptedServer>();
        server->flood = c.flood;
        Rfc2217Stream stream(std::move(server));
        uint8_t buffer[8];
        EXPECT_TRUE(stream.Receive(buffer, sizeof buffer, 20).Ok());
        EXPECT_TRUE(stream.Purge().Ok());
    }
}

// Answers to requests never wait for the server: a server that reads
// nothing gets them when it reads again, as many as the queue holds; once
// a send has failed nothing more is sent.
TEST(Rfc2217Receive, AnswersNeverWaitForTheServer)
{
    auto server = std::make_unique<ScriptedServer>();
    ScriptedServer& s = *server;
    Rfc2217Stream stream(std::move(server));
    s.takes = 0;
    for (int i = 0; i < 500; ++i) s.Say({IAC, WILL, 1});
    s.Say({'d'});
    uint8_t got = 0;
    while (stream.Receive(&got, 1, 0).count == 0) {}
    EXPECT_EQ(got, 'd');
    EXPECT_TRUE(std::all_of(s.sendTimeouts.begin(), s.sendTimeouts.end(), [](int ms) { return ms == 0; }));
    s.takes = -1;
    s.Say({IAC, NOP});
    EXPECT_EQ(stream.Receive(&got, 1, 0).count, 0);
    EXPECT_EQ(s.fromClient.size(), Rfc2217Stream::kMaxQueuedAnswers / 3 * 3);

    s.takes = -2;
    s.Say({IAC, WILL, 1, 'e'});
    EXPECT_EQ(stream.Receive(&got, 1, 0).count, 1);
    // The connection's own words for why it went.
    const StreamIo lost = stream.Receive(&got, 1, 0);
    EXPECT_EQ(lost.result.status, PortStatus::Lost);
    EXPECT_EQ(lost.result.osText, "reset");
    const size_t sends = s.sendTimeouts.size();
    EXPECT_EQ(stream.Send(&got, 1, 100).status, PortStatus::Lost);
    EXPECT_EQ(s.sendTimeouts.size(), sends);
}

// A board behind a slow network (its answers 45 or 60 ms late) is found:
// the link waits for the wake-up's answer as long as the connection's round
// trip, measured by the Telnet options or by the first answer.
TEST(NetworkLink, LateAnswerIsAwaitedForTheRoundTrip)
{
    using P = NetworkAddress::Protocol;
    const struct { P protocol; int delayMs; } cases[] = {{P::RawTcp, 45}, {P::RawTcp, 60}, {P::Rfc2217, 45}, {P::Rfc2217, 60}};
    for (const auto& c : cases) {
        const bool telnet = c.protocol == NetworkAddress::Protocol::Rfc2217;
        SCOPED_TRACE(std::string(telnet ? "rfc2217 " : "tcp ") + std::to_string(c.delayMs) + " ms");
        NetworkAddress address;
        address.protocol = c.protocol;
        NetworkLink link(address, "test", [&](const NetworkAddress&, int, PortResult&) {
            auto server = std::make_unique<ScriptedServer>();
            server->delayMs = c.delayMs;
            server->react = [telnet](ScriptedServer& s, const Bytes& sent) {
                if (telnet) Cooperative(s, sent);
                if (sent.back() == 0xC1) s.Say({'H', 0x11});
            };
            return std::unique_ptr<ILineStream>(std::move(server));
        });
        ASSERT_EQ(link.Open(), 1) << link.LastError().osText;
        EXPECT_TRUE(BootloaderAnswers(link, 2 * kTickMs));
        EXPECT_GE(link.AnswerSlackMs(), c.delayMs);
    }
}

// Only a server that confirms the rate has switched; one that stays at the
// old rate is not asked again, and a raw stream is never asked.
TEST(NetworkLink, SwitchesRateOnceTheServerConfirmsIt)
{
    using P = NetworkAddress::Protocol;
    const Bytes request = {IAC, SB, 44, 1, 0, 3, 0xD0, 0x90, IAC, SE};  // 250000
    const struct { const char* name; P protocol; bool staysAt19200; bool switched; } cases[] = {
        {"tcp", P::RawTcp, false, false}, {"rfc2217", P::Rfc2217, false, true}, {"rfc2217 refused", P::Rfc2217, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NetworkAddress address;
        address.protocol = c.protocol;
        ScriptedServer* server = nullptr;
        NetworkLink link(address, "test", [&](const NetworkAddress&, int, PortResult&) {
            auto s = std::make_unique<ScriptedServer>();
            server = s.get();
            s->react = [&c](ScriptedServer& s, const Bytes& sent) {
                if (c.staysAt19200 && RateRequest(sent)) s.Say({IAC, SB, 44, 101, 0, 0, 0x4B, 0, IAC, SE});
                else Cooperative(s, sent);
            };
            return std::unique_ptr<ILineStream>(std::move(s));
        });
        ASSERT_EQ(link.Open(), 1) << link.LastError().osText;
        server->fromClient.clear();
        EXPECT_EQ(link.CanSetRate(250000), c.protocol == P::Rfc2217);
        EXPECT_EQ(link.SetRate(250000), c.switched);
        EXPECT_EQ(server->fromClient, c.protocol == P::Rfc2217 ? request : Bytes{});
    }
}

}  // namespace
