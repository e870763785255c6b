#include "AppendFile.h"

#include <windows.h>

namespace {

std::wstring Wide(const std::string& utf8)
{
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                        nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
}

std::string SystemText(DWORD error)
{
    char* text = nullptr;
    ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text ? text : "error " + std::to_string(error);
    if (text)
        ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.'))
        result.pop_back();
    return result;
}

} // namespace

CAppendFile::~CAppendFile()
{
    if (m_handle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

bool CAppendFile::Open(const std::string& path, bool& isNew, std::string& error)
{
    const std::wstring wide = Wide(path);
    if (wide.empty()) {
        error = "not a valid file name";
        return false;
    }
    // FILE_APPEND_DATA alone: every write goes to the end, whoever else appends.
    HANDLE file = ::CreateFileW(wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = SystemText(::GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileSizeEx(file, &size)) {
        error = "not a regular file";
        ::CloseHandle(file);
        return false;
    }
    isNew = size.QuadPart == 0;
    m_handle = reinterpret_cast<intptr_t>(file);
    return true;
}

bool CAppendFile::Append(const std::string& text, std::string& error)
{
    if (m_handle == -1) {
        error = "not open";
        return false;
    }
    DWORD written = 0;
    if (::WriteFile(reinterpret_cast<HANDLE>(m_handle), text.data(), static_cast<DWORD>(text.size()), &written,
                    nullptr) &&
        written == text.size())
        return true;
    error = SystemText(::GetLastError());
    return false;
}
