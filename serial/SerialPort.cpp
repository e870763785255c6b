#include "SerialPort.h"
#include "ComPortMap.h"

namespace {
constexpr int kLineBaudRate = 19200;
}  // namespace

void CSerialPort::ResolveLine()
{
    m_settings.m_nBaudRate = kLineBaudRate;
    m_strDevicePath = m_settings.m_strDevice.empty() ? DeviceForComPort(m_settings.m_nComPort) : m_settings.m_strDevice;
}

PortResult CSerialPort::Failed(PortStatus status, const std::string& osText)
{
    m_lastError = PortResult{status, osText};
    if (status == PortStatus::Lost)
        m_bLineLost = true;
    return m_lastError;
}

bool CSerialPort::SetRate(int baud)
{
    if (!IsOpen() || !DrainOutput().Ok())
        return false;
    return SetLineRate(baud).Ok();
}

PortResult CSerialPort::NotOpen() const
{
    return m_bLineLost ? PortResult{PortStatus::Lost, "the line has gone away"}
                       : PortResult{PortStatus::Other, "the port is not open"};
}
