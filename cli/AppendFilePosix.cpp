#include "AppendFile.h"

#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CAppendFile::~CAppendFile()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

bool CAppendFile::Open(const std::string& path, bool& isNew, std::string& error)
{
    // O_NONBLOCK: a FIFO or a device given by mistake must not hang the
    // start; it is refused below anyway.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644));
    if (!fd.Valid()) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    ::fcntl(fd.Get(), F_SETFL, O_APPEND);
    isNew = info.st_size == 0;
    m_handle = fd.Release();
    return true;
}

bool CAppendFile::Append(const std::string& text, std::string& error)
{
    if (m_handle < 0) {
        error = "not open";
        return false;
    }
    ssize_t written;
    do
        written = ::write(static_cast<int>(m_handle), text.data(), text.size());
    while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(text.size()))
        return true;
    error = written < 0 ? std::strerror(errno) : "the disk is full";
    return false;
}
