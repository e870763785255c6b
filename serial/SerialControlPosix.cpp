// The serial port's modem lines and rate, beyond what a programming run sets.
#include "SerialPort.h"

#include "ComPortMap.h"
#include "ErrnoText.h"
#include "LineSpeed.h"
#include "UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A simulated board on a pseudo-terminal has no modem lines. It may offer a
// control file beside its COMn link instead (COMn.reset, a FIFO it reads);
// the name of the line written there stands for the pulse. false when there
// is no such file or nobody reads it.
bool PulseThroughControlFile(int comPort, ModemLine line)
{
    const std::string folder = ComPortLinkFolder();
    if (folder.empty())
        return false;
    const std::string path = folder + "/COM" + std::to_string(comPort) + ".reset";
    UniqueFd fifo(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fifo.Valid() || ::fstat(fifo.Get(), &st) != 0 || !S_ISFIFO(st.st_mode))
        return false;
    const char* text = line == ModemLine::Dtr ? "DTR\n" : "RTS\n";
    return ::write(fifo.Get(), text, 4) == 4;
}

// Microseconds that count characters take on the line at baud (8N1: ten bits each).
std::chrono::microseconds CharacterTime(int count, int baud)
{
    return std::chrono::microseconds(static_cast<int64_t>(count) * 10 * 1000000 / (baud > 0 ? baud : 1));
}

} // namespace

PortResult CSerialPort::PulseModemLine(ModemLine line, int ms)
{
    if (!m_bOpen)
        return NotOpen();
    const int fd = static_cast<int>(m_hComm);
    int bit = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    // Resting levels: DTR raised, RTS lowered; the pulse is the other level.
    const unsigned long away = line == ModemLine::Dtr ? TIOCMBIC : TIOCMBIS;
    const unsigned long back = line == ModemLine::Dtr ? TIOCMBIS : TIOCMBIC;
    if (::ioctl(fd, away, &bit) != 0) {
        const int error = errno;
        if (m_settings.m_strDevice.empty() && PulseThroughControlFile(m_settings.m_nComPort, line))
            return PortResult{};
        return Failed(PortStatus::Unsupported, ErrnoText(error));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    if (::ioctl(fd, back, &bit) != 0)
        return Failed(PortStatus::Other, ErrnoText(errno));
    return PortResult{};
}

PortResult CSerialPort::DrainOutput()
{
    // tcdrain() would wait without end for a line that never empties; the
    // driver's queue is watched instead, for as long as its bytes take at
    // the present rate and 100 ms more.
    const int fd = static_cast<int>(m_hComm);
    const int baud = m_settings.m_nBaudRate;
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0)
        queued = 0;
    const auto deadline = std::chrono::steady_clock::now() + CharacterTime(queued, baud) + std::chrono::milliseconds(100);
    while (queued > 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return Failed(PortStatus::Timeout, "the line did not send what was written");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0)
            queued = 0;
    }
    // The UART's own two registers empty after the driver's queue.
    std::this_thread::sleep_for(CharacterTime(2, baud));
    return PortResult{};
}

bool CSerialPort::CanSetRate(int baud) const
{
    return IsOpen() && CanMakeLineSpeed(static_cast<int>(m_hComm), baud);
}

PortResult CSerialPort::SetLineRate(int baud)
{
    if (!m_bOpen)
        return NotOpen();
    const PortResult result = SetLineSpeed(static_cast<int>(m_hComm), baud);
    if (!result.Ok())
        return Failed(result.status, result.osText);
    m_settings.m_nBaudRate = baud;
    return result;
}
