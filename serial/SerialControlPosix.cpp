// The serial port's modem lines and rate, beyond what a programming run sets.
#include "SerialPort.h"

#include "ComPortMap.h"
#include "UniqueFd.h"

#include <chrono>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

struct Rate {
    int baud;
    speed_t code;
};

// The rates termios can name; others are refused rather than approximated.
constexpr Rate kRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600}, {1000000, B1000000},
    {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
#endif
};

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

} // namespace

bool CSerialPort::PulseModemLine(ModemLine line, int ms)
{
    if (!m_bOpen)
        return false;
    const int fd = static_cast<int>(m_hComm);
    int bit = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    // Resting levels: DTR raised, RTS lowered; the pulse is the other level.
    const unsigned long away = line == ModemLine::Dtr ? TIOCMBIC : TIOCMBIS;
    const unsigned long back = line == ModemLine::Dtr ? TIOCMBIS : TIOCMBIC;
    if (::ioctl(fd, away, &bit) != 0)
        return m_settings.m_strDevice.empty() && PulseThroughControlFile(m_settings.m_nComPort, line);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return ::ioctl(fd, back, &bit) == 0;
}

bool CSerialPort::SetLineRate(int baud)
{
    if (!m_bOpen)
        return false;
    const int fd = static_cast<int>(m_hComm);
    for (const Rate& rate : kRates) {
        if (rate.baud != baud)
            continue;
        termios tio{};
        if (::tcgetattr(fd, &tio) != 0 || ::cfsetispeed(&tio, rate.code) != 0 || ::cfsetospeed(&tio, rate.code) != 0 ||
            ::tcsetattr(fd, TCSANOW, &tio) != 0)
            return false;
        // tcsetattr succeeds when any part of the change was taken: read back.
        if (::tcgetattr(fd, &tio) != 0 || ::cfgetospeed(&tio) != rate.code)
            return false;
        m_settings.m_nBaudRate = baud;
        return true;
    }
    return false;
}
