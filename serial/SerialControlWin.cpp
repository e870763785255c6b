// The serial port's modem lines and rate, beyond what a programming run sets.
#include "SerialPort.h"

#include "WinErrorText.h"

#include <windows.h>

namespace {

struct NamedRate {
    DWORD flag;  // of COMMPROP's dwSettableBaud
    int baud;
};

constexpr NamedRate kNamedRates[] = {
    {BAUD_075, 75},       {BAUD_110, 110},       {BAUD_150, 150},       {BAUD_300, 300},
    {BAUD_600, 600},      {BAUD_1200, 1200},     {BAUD_1800, 1800},     {BAUD_2400, 2400},
    {BAUD_4800, 4800},    {BAUD_7200, 7200},     {BAUD_9600, 9600},     {BAUD_14400, 14400},
    {BAUD_19200, 19200},  {BAUD_38400, 38400},   {BAUD_56K, 56000},     {BAUD_57600, 57600},
    {BAUD_115200, 115200}, {BAUD_128K, 128000},
};

} // namespace

PortResult CSerialPort::PulseModemLine(ModemLine line, int ms)
{
    if (!m_bOpen)
        return NotOpen();
    HANDLE handle = reinterpret_cast<HANDLE>(m_hComm);
    // Resting levels: DTR raised, RTS lowered; the pulse is the other level.
    const DWORD away = line == ModemLine::Dtr ? CLRDTR : SETRTS;
    const DWORD back = line == ModemLine::Dtr ? SETDTR : CLRRTS;
    if (!::EscapeCommFunction(handle, away))
        return Failed(PortStatus::Unsupported, WinErrorText(::GetLastError()));
    ::Sleep(static_cast<DWORD>(ms));
    if (!::EscapeCommFunction(handle, back))
        return Failed(PortStatus::Other, WinErrorText(::GetLastError()));
    return PortResult{};
}

PortResult CSerialPort::DrainOutput()
{
    // Returns once the driver has sent everything written.
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(m_hComm)))
        return Failed(PortStatus::Other, WinErrorText(::GetLastError()));
    return PortResult{};
}

bool CSerialPort::CanSetRate(int baud) const
{
    COMMPROP properties{};
    if (!IsOpen() || baud <= 0 || !::GetCommProperties(reinterpret_cast<HANDLE>(m_hComm), &properties))
        return false;
    if ((properties.dwSettableBaud & BAUD_USER) != 0)
        return true;
    for (const NamedRate& rate : kNamedRates)
        if (rate.baud == baud)
            return (properties.dwSettableBaud & rate.flag) != 0;
    return false;
}

PortResult CSerialPort::SetLineRate(int baud)
{
    if (!m_bOpen)
        return NotOpen();
    if (baud <= 0)
        return Failed(PortStatus::Refused, "no such rate");
    HANDLE handle = reinterpret_cast<HANDLE>(m_hComm);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb))
        return Failed(PortStatus::Other, WinErrorText(::GetLastError()));
    DCB old = dcb;
    dcb.BaudRate = static_cast<DWORD>(baud);
    if (!::SetCommState(handle, &dcb)) {
        const DWORD error = ::GetLastError();
        // A driver that took part of it must not be left there.
        (void)::SetCommState(handle, &old);
        return Failed(PortStatus::Refused, WinErrorText(error));
    }
    m_settings.m_nBaudRate = baud;
    return PortResult{};
}
