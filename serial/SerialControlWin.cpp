// The serial port's modem lines and rate, beyond what a programming run sets.
#include "SerialPort.h"

#include "WinErrorText.h"

#include <windows.h>

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
    dcb.BaudRate = static_cast<DWORD>(baud);
    if (!::SetCommState(handle, &dcb))
        return Failed(PortStatus::Refused, WinErrorText(::GetLastError()));
    m_settings.m_nBaudRate = baud;
    return PortResult{};
}
