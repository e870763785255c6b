#pragma once
#include <string>

// A serial port served over the network, as --port names it.
struct NetworkAddress {
    enum class Protocol { RawTcp, Rfc2217 };
    Protocol protocol = Protocol::RawTcp;
    std::string host;  // a name or an address; an IPv6 address without its brackets
    std::string port;  // 1 to 65535, as digits
};

// true when text names a network port at all ("SCHEME://..."); it is then
// never a device path.
bool IsNetworkAddress(const std::string& text);

// "tcp://HOST:PORT" (raw stream) or "rfc2217://HOST:PORT" (Telnet with
// serial control); HOST may be [IPv6]. false with error saying why.
bool ParseNetworkAddress(const std::string& text, NetworkAddress& address, std::string& error);
