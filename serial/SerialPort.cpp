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
