#include "PortLinkFactory.h"

#include "NetworkLink.h"

std::unique_ptr<IPortLink> MakePortLink(CLineSettings& settings)
{
    NetworkAddress address;
    std::string error;
    if (IsNetworkAddress(settings.m_strDevice) && ParseNetworkAddress(settings.m_strDevice, address, error))
        return std::make_unique<NetworkLink>(address, settings.m_strDevice);
    return std::make_unique<CSerialPort>(settings);
}
