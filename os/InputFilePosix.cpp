#include "InputFile.h"
#include "ErrnoText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
InputFile::Result ResultForErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return InputFile::Result::NotFound;
    case EACCES:
    case EPERM:
        return InputFile::Result::AccessDenied;
    default:
        return InputFile::Result::Failed;
    }
}
}  // namespace

InputFile::Result InputFile::OpenNamed(const std::string& utf8Path)
{
    // O_NONBLOCK: a FIFO with no writer would otherwise hold open() forever.
    int fd;
    do {
        fd = ::open(utf8Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        m_error = ErrnoText(error);
        return ResultForErrno(error);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        m_error = ErrnoText(errno);
        ::close(fd);
        return Result::Failed;
    }
    const Result refused = Admit(S_ISREG(st.st_mode), static_cast<uint64_t>(st.st_size));
    if (refused != Result::Opened) {
        ::close(fd);
        return refused;
    }
    // A regular file never waits anyway; blocking reads keep Read simple.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_handle = fd;
    return Result::Opened;
}

void InputFile::Close()
{
    if (m_handle >= 0) ::close(static_cast<int>(m_handle));
    m_handle = -1;
}

bool InputFile::IsOpen() const
{
    return m_handle >= 0;
}

long InputFile::Read(void* buffer, size_t size)
{
    if (m_handle < 0) return -1;
    ssize_t got;
    do {
        got = ::read(static_cast<int>(m_handle), buffer, size);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        m_error = ErrnoText(errno);
        return -1;
    }
    m_read += static_cast<uint64_t>(got);
    // A file that grows while it is read is held to the same limit.
    if (Admit(true, m_read) != Result::Opened) return -1;
    return static_cast<long>(got);
}
