#include "AppendFile.h"

#include "ErrnoText.h"
#include "UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One write of all of text; false with the reason.
bool WriteWhole(int fd, const std::string& text, std::string& error)
{
    ssize_t written;
    do
        written = ::write(fd, text.data(), text.size());
    while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(text.size()))
        return true;
    error = written < 0 ? ErrnoText(errno) : "the disk is full";
    return false;
}

} // namespace

CAppendFile::~CAppendFile()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

bool CAppendFile::Open(const std::string& path, const std::string& header, std::string& error)
{
    // O_NONBLOCK: a FIFO or a device given by mistake must not hang the
    // start; it is refused below anyway.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644));
    if (!fd.Valid()) {
        error = ErrnoText(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    ::fcntl(fd.Get(), F_SETFL, O_APPEND);
    // Whoever holds the lock while the file is empty writes the header; the
    // lock goes with the descriptor when it is closed on an error.
    int locked;
    do
        locked = ::flock(fd.Get(), LOCK_EX);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        error = ErrnoText(errno);
        return false;
    }
    if (::fstat(fd.Get(), &info) != 0) {
        error = ErrnoText(errno);
        return false;
    }
    if (info.st_size == 0 && !WriteWhole(fd.Get(), header, error))
        return false;
    ::flock(fd.Get(), LOCK_UN);
    m_handle = fd.Release();
    return true;
}

bool CAppendFile::Append(const std::string& text, std::string& error)
{
    if (m_handle < 0) {
        error = "not open";
        return false;
    }
    return WriteWhole(static_cast<int>(m_handle), text, error);
}
