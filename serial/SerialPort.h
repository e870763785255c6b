#pragma once
#include "PortLink.h"
#include <memory>
#include <string>

// Which port CSerialPort opens and at what rate. The dialog owns these
// numbers; the command line fills them from its options.
struct CLineSettings {
    int m_nBaudRate = 0;   // Open stores 19200 here before opening
    int m_nComPort = 0;    // n of COMn, mapped to a device by DeviceForComPort
    std::string m_strDevice;  // when not empty, this device is opened instead of COMn
};

// The one serial connection to the target board: 19200 8N1, no flow control,
// DTR raised, RTS lowered, exclusive. Read waits at most 5 ms, Write purges
// both directions first and gives up after 100 ms.
class CSerialPort : public IPortLink {
public:
    explicit CSerialPort(CLineSettings& settings);
    ~CSerialPort() override;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    int Open() override;
    int Close() override;
    int Read(uint8_t* buffer, uint32_t count) override;
    int Write(const uint8_t* buffer, uint32_t count) override;
    // false once the line is lost (see LineLost).
    bool IsOpen() const override { return m_bOpen != 0 && !m_bLineLost; }

    const PortResult& LastError() const override { return m_lastError; }
    // The device the last Open tried.
    const std::string& DevicePath() const override { return m_strDevicePath; }
    PortResult PulseModemLine(ModemLine line, int ms) override;
    PortResult SetLineRate(int baud) override;
    // Once what was written has left the port (bounded), as SetLineRate.
    bool SetRate(int baud) override;
    // Linux: any rate the UART's clock allows (when it names one); other
    // POSIX systems: the rates termios names; Windows: what the driver
    // lists, any rate when it takes rates of the user's choosing.
    bool CanSetRate(int baud) const override;
    PortResult WriteThrough(const uint8_t* buffer, uint32_t count) override;
    bool LineLost() const override { return m_bLineLost; }

private:
    // Stores the line's rate in the settings and picks the device to open.
    void ResolveLine();
    // Keeps a failure as the last error and returns it; a Lost one also
    // marks the line lost.
    PortResult Failed(PortStatus status, const std::string& osText);
    // What a call on a port that is not open gives.
    PortResult NotOpen() const;
    // Waits until what was written has left the port; defined per platform.
    PortResult DrainOutput();
    // What a platform keeps between opens beyond the handle (the Windows
    // DCB, which every Open refills only in part); defined per platform.
    struct LineState;

    CLineSettings& m_settings;
    intptr_t m_hComm = -1;
    int m_bOpen = 0;
    bool m_bLineLost = false;
    std::unique_ptr<LineState> m_line;
    PortResult m_lastError;
    std::string m_strDevicePath;
};
