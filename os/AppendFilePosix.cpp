#include "AppendFile.h"

#include "ErrnoText.h"
#include "LockWait.h"
#include "UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Who holds the flock on the file behind fd, as "pid 1234, flock", or empty
// where the system does not tell (Linux lists the locks in /proc/locks).
std::string LockHolder(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return "";
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; a process
        // waiting for the lock has "->" before the kind.
        std::istringstream words(line);
        std::string number, kind, mode, access, file;
        long pid = 0;
        words >> number >> kind;
        if (kind != "FLOCK" || !(words >> mode >> access >> pid >> file))
            continue;
        unsigned devMajor = 0, devMinor = 0;
        unsigned long long inode = 0;
        char colon1 = 0, colon2 = 0;
        std::istringstream where(file);
        where >> std::hex >> devMajor >> colon1 >> devMinor >> colon2 >> std::dec >> inode;
        if (!where || devMajor != major(info.st_dev) || devMinor != minor(info.st_dev) || inode != info.st_ino)
            continue;
        std::string name;
        std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name);
        return "pid " + std::to_string(pid) + (name.empty() ? "" : ", " + name);
    }
    return "";
}

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

AppendFile::~AppendFile()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

bool AppendFile::Open(const std::string& path, const std::string& header, std::string& error,
                       const std::atomic<bool>* interrupted, int lockWaitMs)
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
    LockAttempt attempt;
    attempt.tryLock = [&fd](std::string& why) {
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0)
            return LockAttempt::Result::Taken;
        if (errno == EWOULDBLOCK || errno == EINTR)
            return LockAttempt::Result::HeldByAnother;
        why = ErrnoText(errno);
        return LockAttempt::Result::Failed;
    };
    attempt.holder = [&fd] { return LockHolder(fd.Get()); };
    if (!WaitForLock(attempt, interrupted, lockWaitMs, error))
        return false;
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

bool AppendFile::Append(const std::string& text, std::string& error)
{
    if (m_handle < 0) {
        error = "not open";
        return false;
    }
    return WriteWhole(static_cast<int>(m_handle), text, error);
}
