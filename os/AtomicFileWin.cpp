#include "AtomicFile.h"
#include "Utf16Win.h"
#include "WinErrorText.h"

#include <windows.h>

// The new content goes to "<path>.<pid>.tmp" beside the file, is flushed,
// then replaces the file in one move.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string& error)
{
    const std::wstring target = Utf8ToWide(path);
    const std::wstring temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const auto fail = [&](const std::string& what) {
        error = path + ": " + what + ": " + WinErrorText(GetLastError());
        DeleteFileW(temp.c_str());
        return false;
    };
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = path + ": cannot create a file beside it: " + WinErrorText(GetLastError());
        return false;
    }
    DWORD written = 0;
    const bool ok = size <= MAXDWORD && WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) &&
                    written == size && FlushFileBuffers(file);
    const DWORD writeError = GetLastError();
    CloseHandle(file);
    if (!ok) {
        SetLastError(writeError);
        return fail("cannot write");
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail("cannot replace it");
    return true;
}
