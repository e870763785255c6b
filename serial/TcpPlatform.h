#pragma once
#include "PortResult.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

struct addrinfo;

// The socket calls behind TcpSocket::Connect, one file per platform (BSD
// sockets or Winsock); the lookup, the deadline and the messages are shared.
namespace tcp {

using Clock = std::chrono::steady_clock;

// What stands for no socket on either platform (-1, INVALID_SOCKET).
constexpr intptr_t kNoSocket = -1;

inline int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Readies the network for use; false with result saying why.
bool StartNetwork(PortResult& result);

// A name's addresses for a TCP stream: code 0 and list, or the lookup's error code.
struct Lookup {
    int code = -1;
    std::shared_ptr<addrinfo> list;
};
// numericOnly: host must be an address in digits (nothing is asked of a name server).
Lookup LookUp(const std::string& host, const std::string& port, bool numericOnly);
// The code says host is not an address in digits (so it is a name to look up).
bool IsNotNumeric(int lookupCode);
std::string LookUpErrorText(int lookupCode);

// Tries the addresses of list in turn, each a non-blocking connect bounded
// by deadline, with Nagle's delay off: the first that connects, or kNoSocket
// with error set to the last socket error (0 when the time ran out first).
intptr_t ConnectFirst(const addrinfo* list, Clock::time_point deadline, int& error);
// Timeout, Refused or Other for a socket error of ConnectFirst.
PortStatus ConnectStatus(int error);
std::string SocketErrorText(int error);

void CloseSocket(intptr_t socket);
// One send or recv that does not wait: the bytes moved (recv: 0 when the far
// end closed the connection), or -1 with wouldBlock (try again after a wait)
// or error set.
struct Transfer {
    long count = -1;
    bool wouldBlock = false;
    int error = 0;
};
Transfer SendOnce(intptr_t socket, const uint8_t* data, size_t count);
Transfer ReceiveOnce(intptr_t socket, uint8_t* buffer, size_t count);
enum class Wait { Ready, TimedOut, Failed };
// Waits until socket can be written (forWrite) or read, or deadline.
Wait WaitUntilReady(intptr_t socket, bool forWrite, Clock::time_point deadline);

} // namespace tcp
