#include "AtomicFile.h"
#include "ErrnoText.h"
#include "UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Temporary files are named ".<name>.<pid>-<n>.tmp" beside the file they
// replace, so a later write can tell which ones a dead writer left behind.
namespace {

struct Location {
    std::string folder;  // "." when path has no slash
    std::string name;
};

Location Split(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string TempPrefix(const Location& where)
{
    return "." + where.name + ".";
}

bool ProcessIsGone(long pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Removes ".<name>.<pid>-<n>.tmp" files of writers that no longer run; those
// of a live writer (this one included) may be about to be renamed.
void RemoveStaleTempFiles(const Location& where)
{
    DIR* dir = ::opendir(where.folder.c_str());
    if (!dir) return;
    const std::string prefix = TempPrefix(where);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string file = entry->d_name;
        if (file.size() <= prefix.size() + 4 || file.compare(0, prefix.size(), prefix) != 0 ||
            file.compare(file.size() - 4, 4, ".tmp") != 0)
            continue;
        char* end = nullptr;
        const long pid = std::strtol(file.c_str() + prefix.size(), &end, 10);
        if (end == file.c_str() + prefix.size() || *end != '-') continue;
        if (ProcessIsGone(pid)) ::unlinkat(::dirfd(dir), file.c_str(), 0);
    }
    ::closedir(dir);
}

// A new file beside the target; its path goes to temp.
UniqueFd CreateTempFile(const Location& where, std::string& temp)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = where.folder + '/' + TempPrefix(where) + std::to_string(::getpid()) + '-' +
               std::to_string(++counter) + ".tmp";
        UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (fd.Valid() || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return UniqueFd();
}

bool WriteAll(int fd, const unsigned char* data, size_t size)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

bool Fail(const std::string& what, std::string& error)
{
    error = what + ": " + ErrnoText(errno ? errno : EIO);
    return false;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string& error)
{
    const Location where = Split(path);
    if (where.name.empty() || where.name == "." || where.name == "..") {
        errno = EISDIR;
        return Fail(path, error);
    }
    RemoveStaleTempFiles(where);

    std::string temp;
    UniqueFd fd = CreateTempFile(where, temp);
    if (!fd.Valid()) return Fail(temp, error);

    errno = 0;
    bool ok = WriteAll(fd.Get(), static_cast<const unsigned char*>(data), size) && ::fsync(fd.Get()) == 0;
    ok = fd.Reset() && ok;
    if (!ok) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return Fail(temp, error);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return Fail(path, error);
    }
    // Make the rename itself durable.
    UniqueFd folder(::open(where.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) (void)::fsync(folder.Get());
    return true;
}
