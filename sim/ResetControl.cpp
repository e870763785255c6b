#include "ResetControl.h"

#include "ConfigHome.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ResetControl::~ResetControl()
{
    if (!m_path.empty()) ::unlink(m_path.c_str());
}

bool ResetControl::Create(int port, std::string& error)
{
    // The Ports folder exists: the COMn link was made first.
    const std::string path = FernbowConfigFolder() + "/Ports/COM" + std::to_string(port) + ".reset";
    ::unlink(path.c_str());
    if (::mkfifo(path.c_str(), 0600) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    m_path = path;
    // Read and write: the FIFO never reads as ended between two writers.
    m_fd = UniqueFd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!m_fd.Valid()) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string ResetControl::TakePulses()
{
    std::string text;
    char buffer[64];
    ssize_t n;
    while ((n = ::read(m_fd.Get(), buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
}
