#include "AppendFile.h"

#include "LockWait.h"
#include "Utf16Win.h"
#include "WinErrorText.h"

#include <windows.h>

namespace {

// One write of all of text; false with the reason.
bool WriteWhole(HANDLE file, const std::string& text, std::string& error)
{
    DWORD written = 0;
    if (::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size())
        return true;
    error = WinErrorText(::GetLastError());
    return false;
}

// Holds a lock on the file's first byte (a range may lie beyond the end).
class FileLock {
public:
    explicit FileLock(HANDLE file) : m_file(file) {}
    // Takes the lock, waiting for another process to let go of it as
    // WaitForLock does (Windows does not say who holds it); false with the
    // reason.
    bool Take(const std::atomic<bool>* interrupted, int waitMs, std::string& error)
    {
        LockAttempt attempt;
        attempt.tryLock = [this](std::string& why) {
            m_where = OVERLAPPED{};
            if (::LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &m_where)) {
                m_locked = true;
                return LockAttempt::Result::Taken;
            }
            const DWORD code = ::GetLastError();
            if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
                return LockAttempt::Result::HeldByAnother;
            why = WinErrorText(code);
            return LockAttempt::Result::Failed;
        };
        return WaitForLock(attempt, interrupted, waitMs, error);
    }
    ~FileLock()
    {
        if (m_locked)
            ::UnlockFileEx(m_file, 0, 1, 0, &m_where);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    HANDLE m_file;
    OVERLAPPED m_where{};
    bool m_locked = false;
};

} // namespace

AppendFile::~AppendFile()
{
    if (m_handle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

bool AppendFile::Open(const std::string& path, const std::string& header, std::string& error,
                       const std::atomic<bool>* interrupted, int lockWaitMs)
{
    const std::wstring wide = Utf8ToWide(path);
    if (wide.empty()) {
        error = "not a valid file name";
        return false;
    }
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end,
    // whoever else appends. Reading is asked for only so that the file can
    // be locked while the header is decided.
    HANDLE file = ::CreateFileW(wide.c_str(), FILE_APPEND_DATA | GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = WinErrorText(::GetLastError());
        return false;
    }
    bool ok = false;
    {
        LARGE_INTEGER size{};
        FileLock lock(file);
        if (::GetFileType(file) != FILE_TYPE_DISK) {
            error = "not a regular file";
        } else if (lock.Take(interrupted, lockWaitMs, error)) {
            if (!::GetFileSizeEx(file, &size))
                error = WinErrorText(::GetLastError());
            else
                ok = size.QuadPart != 0 || WriteWhole(file, header, error);
        }
    }
    if (!ok) {
        ::CloseHandle(file);
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(file);
    return true;
}

bool AppendFile::Append(const std::string& text, std::string& error)
{
    if (m_handle == -1) {
        error = "not open";
        return false;
    }
    return WriteWhole(reinterpret_cast<HANDLE>(m_handle), text, error);
}
