#include "SerialPort.h"

#include "ComPortMap.h"
#include "SerialDeviceWin.h"
#include "WinErrorText.h"

#include <cstdio>

namespace {

constexpr DWORD kQueueSize = 32768;
// PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR
constexpr DWORD kPurgeAll = 15;

HANDLE Handle(intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

} // namespace

// The DCB is kept from one open to the next: BuildCommDCBA fills only what
// the mode string names, every other field keeps its earlier value.
struct CSerialPort::LineState {
    DCB m_dcb{};
    COMMTIMEOUTS m_timeouts{};
    HANDLE m_claim = nullptr;  // see ComDevice
};

CSerialPort::CSerialPort(CLineSettings& settings) : m_settings(settings), m_line(new LineState) {}

CSerialPort::~CSerialPort()
{
    Close();
}

int CSerialPort::Open()
{
    if (IsOpen())
        return 1;
    Close();  // what is left of a lost line
    ResolveLine();
    const ComDevice device = OpenComDevice(m_strDevicePath, m_lastError);
    m_hComm = reinterpret_cast<intptr_t>(device.port);
    if (!device.Valid())
        return 0;
    m_line->m_claim = device.claim;
    HANDLE handle = device.port;

    // Once the device has opened the port counts as open: what follows is
    // applied as well as the driver allows and not checked.
    (void)::SetupComm(handle, kQueueSize, kQueueSize);
    (void)::PurgeComm(handle, kPurgeAll);

    COMMTIMEOUTS& timeouts = m_line->m_timeouts;
    timeouts.ReadIntervalTimeout = 0xFFFF;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 5;     // a read ends 5 ms after it began
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 100;  // a write ends 100 ms after it began
    (void)::SetCommTimeouts(handle, &timeouts);

    char mode[64];
    std::snprintf(mode, sizeof mode, "COM%d:%d,n,8,1", m_settings.m_nComPort, m_settings.m_nBaudRate);
    DCB& dcb = m_line->m_dcb;
    (void)::BuildCommDCBA(mode, &dcb);
    // DTR raised, RTS held low: the flag word's bit 4 set, bits 5, 12 and 13
    // cleared, every other bit as the builder left it.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    (void)::SetCommState(handle, &dcb);

    m_bOpen = 1;
    m_bLineLost = false;
    return 1;
}

int CSerialPort::Close()
{
    if (!m_bOpen)
        return 0;
    ComDevice device;
    device.port = Handle(m_hComm);
    device.claim = m_line->m_claim;
    m_line->m_claim = nullptr;
    const int result = CloseComDevice(device).Ok() ? 1 : 0;
    m_bOpen = 0;
    return result;
}

int CSerialPort::Read(uint8_t* buffer, uint32_t count)
{
    if (!m_bOpen)
        return 0;
    DWORD got = 0;
    // A read that fails outright: the device has gone (a USB adapter pulled).
    if (!::ReadFile(Handle(m_hComm), buffer, count, &got, nullptr))
        Failed(PortStatus::Lost, WinErrorText(::GetLastError()));
    return static_cast<int>(got);
}

int CSerialPort::Write(const uint8_t* buffer, uint32_t count)
{
    if (!IsOpen())
        return 0;
    // Whatever arrived before this write (a late answer, an echo, noise) must
    // not be taken as the answer to it.
    (void)::PurgeComm(Handle(m_hComm), kPurgeAll);
    return WriteThrough(buffer, count).Ok() ? 1 : 0;
}

PortResult CSerialPort::WriteThrough(const uint8_t* buffer, uint32_t count)
{
    if (!IsOpen())
        return NotOpen();
    DWORD written = 0;
    // A time-out is a short count; a write that fails outright: the device has gone.
    if (::WriteFile(Handle(m_hComm), buffer, count, &written, nullptr))
        return PortResult{};
    return Failed(PortStatus::Lost, WinErrorText(::GetLastError()));
}
