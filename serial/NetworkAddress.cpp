#include "NetworkAddress.h"

#include <algorithm>
#include <cctype>

bool IsNetworkAddress(const std::string& text)
{
    const size_t scheme = text.find("://");
    return scheme != std::string::npos && scheme > 0 &&
           std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(scheme),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

bool ParseNetworkAddress(const std::string& text, NetworkAddress& address, std::string& error)
{
    const std::string usage = "give tcp://HOST:PORT or rfc2217://HOST:PORT";
    const size_t scheme = text.find("://");
    std::string name = scheme == std::string::npos ? "" : text.substr(0, scheme);
    std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    if (name == "tcp") {
        address.protocol = NetworkAddress::Protocol::RawTcp;
    } else if (name == "rfc2217") {
        address.protocol = NetworkAddress::Protocol::Rfc2217;
    } else {
        error = "invalid port \"" + text + "\": unknown network protocol; " + usage;
        return false;
    }
    const std::string rest = text.substr(scheme + 3);
    size_t colon = std::string::npos;
    const bool bracketed = !rest.empty() && rest[0] == '[';
    if (bracketed) {
        const size_t close = rest.find(']');
        if (close != std::string::npos && close + 1 < rest.size() && rest[close + 1] == ':') {
            address.host = rest.substr(1, close - 1);
            colon = close + 1;
        }
    } else {
        colon = rest.rfind(':');
        if (colon != std::string::npos)
            address.host = rest.substr(0, colon);
    }
    if (colon == std::string::npos || address.host.empty() ||
        (!bracketed && address.host.find_first_of("/:[] ") != std::string::npos)) {
        error = "invalid port \"" + text + "\": " + usage;
        return false;
    }
    address.port = rest.substr(colon + 1);
    const bool digits = !address.port.empty() && address.port.size() <= 5 &&
                        std::all_of(address.port.begin(), address.port.end(),
                                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
    const long number = digits ? std::stol(address.port) : 0;
    if (number < 1 || number > 65535) {
        error = "invalid port \"" + text + "\": the TCP port must be a number from 1 to 65535";
        return false;
    }
    return true;
}
