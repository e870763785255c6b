// The serial port's modem lines and rate, beyond what a programming run sets.
#include "SerialPort.h"

#include <windows.h>

bool CSerialPort::PulseModemLine(ModemLine line, int ms)
{
    if (!m_bOpen)
        return false;
    HANDLE handle = reinterpret_cast<HANDLE>(m_hComm);
    // Resting levels: DTR raised, RTS lowered; the pulse is the other level.
    const DWORD away = line == ModemLine::Dtr ? CLRDTR : SETRTS;
    const DWORD back = line == ModemLine::Dtr ? SETDTR : CLRRTS;
    if (!::EscapeCommFunction(handle, away))
        return false;
    ::Sleep(static_cast<DWORD>(ms));
    return ::EscapeCommFunction(handle, back) != 0;
}

bool CSerialPort::SetLineRate(int baud)
{
    if (!m_bOpen || baud <= 0)
        return false;
    HANDLE handle = reinterpret_cast<HANDLE>(m_hComm);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb))
        return false;
    dcb.BaudRate = static_cast<DWORD>(baud);
    if (!::SetCommState(handle, &dcb))
        return false;
    m_settings.m_nBaudRate = baud;
    return true;
}
