#pragma once
#include "LineStream.h"
#include "PortResult.h"

#include <cstdint>
#include <memory>
#include <string>

// A connected TCP stream with Nagle's delay off (every frame leaves at
// once). One implementation per platform: BSD sockets or Winsock.
class CTcpSocket : public ILineStream {
public:
    // Connects to host:port (a name or an address; IPv4 or IPv6), giving up
    // after timeoutMs, the name's lookup included. nullptr on failure, with
    // result saying why (Timeout, Refused, or Other), its text in words for
    // the user.
    static std::unique_ptr<CTcpSocket> Connect(const std::string& host, const std::string& port, int timeoutMs,
                                               PortResult& result);
    ~CTcpSocket() override;
    CTcpSocket(const CTcpSocket&) = delete;
    CTcpSocket& operator=(const CTcpSocket&) = delete;

    StreamIo SendSome(const uint8_t* data, size_t count, int timeoutMs) override;
    StreamIo Receive(uint8_t* buffer, size_t count, int timeoutMs) override;
    // A raw stream has no way to reach the far end's buffers: only what has
    // arrived here is thrown away.
    PortResult Purge() override;

    // The words for a connection gone without an OS error of its own.
    static constexpr const char* kClosedByPeer = "the far end closed the connection";
    static constexpr const char* kConnectionFailed = "the connection failed";

private:
    explicit CTcpSocket(intptr_t socket) : m_socket(socket) {}
    intptr_t m_socket;
};
