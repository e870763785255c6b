#pragma once
#include "LineStream.h"
#include "PortResult.h"

#include <cstdint>
#include <memory>
#include <string>

// A connected TCP stream with Nagle's delay off (every frame leaves at
// once). The socket calls are one file per platform (TcpPlatform.h).
class TcpSocket : public ILineStream {
public:
    // Connects to host:port (a name or an address; IPv4 or IPv6), giving up
    // after timeoutMs, the name's lookup included. nullptr on failure, with
    // result saying why (Timeout, Refused, or Other), its text in words for
    // the user.
    static std::unique_ptr<TcpSocket> Connect(const std::string& host, const std::string& port, int timeoutMs,
                                               PortResult& result);
    ~TcpSocket() override;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    StreamIo SendSome(const uint8_t* data, size_t count, int timeoutMs) override;
    StreamIo Receive(uint8_t* buffer, size_t count, int timeoutMs) override;
    // A raw stream has no way to reach the far end's buffers: only what has
    // arrived here is thrown away.
    PortResult Purge() override;

private:
    explicit TcpSocket(intptr_t socket) : m_socket(socket) {}
    intptr_t m_socket;
};
