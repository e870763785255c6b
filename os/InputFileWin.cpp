#include "InputFile.h"

#include "Utf16Win.h"
#include "WinErrorText.h"

#include <windows.h>

namespace {

InputFile::Result ResultForError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return InputFile::Result::NotFound;
    case ERROR_ACCESS_DENIED:
        return InputFile::Result::AccessDenied;
    default:
        return InputFile::Result::Failed;
    }
}

HANDLE Handle(intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

} // namespace

InputFile::Result InputFile::OpenNamed(const std::string& utf8Path)
{
    // The wide-character call, so that any name opens (C:\Prüfung\π.hex).
    // Backup semantics let a folder open too, to be refused as one below
    // rather than as "access denied"; others may go on writing the file.
    HANDLE file = ::CreateFileW(Utf8ToWide(utf8Path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        m_error = WinErrorText(error);
        return ResultForError(error);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool isFile = ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info) &&
                        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    const Result refused = Admit(isFile, size);
    if (refused != Result::Opened) {
        ::CloseHandle(file);
        return refused;
    }
    m_handle = reinterpret_cast<intptr_t>(file);
    return Result::Opened;
}

void InputFile::Close()
{
    if (m_handle != -1)
        ::CloseHandle(Handle(m_handle));
    m_handle = -1;
}

bool InputFile::IsOpen() const
{
    return m_handle != -1;
}

long InputFile::Read(void* buffer, size_t size)
{
    if (m_handle == -1)
        return -1;
    const DWORD ask = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!::ReadFile(Handle(m_handle), buffer, ask, &got, nullptr)) {
        m_error = WinErrorText(::GetLastError());
        return -1;
    }
    m_read += got;
    // A file that grows while it is read is held to the same limit.
    if (Admit(true, m_read) != Result::Opened) return -1;
    return static_cast<long>(got);
}
