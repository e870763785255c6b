#include "Utf16Win.h"

#include <windows.h>

namespace {

std::wstring MultiByteToWide(UINT codePage, const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

} // namespace

std::wstring Utf8ToWide(const std::string& text)
{
    return MultiByteToWide(CP_UTF8, text);
}

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string utf8(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], length, nullptr,
                          nullptr);
    return utf8;
}

bool Utf8ToAnsi(const std::string& text, std::string& ansi)
{
    ansi.clear();
    if (text.empty())
        return true;
    // Invalid UTF-8 would come back as U+FFFD: refuse it instead.
    const std::wstring wide = Utf8ToWide(text);
    if (wide.empty() || WideToUtf8(wide) != text)
        return false;
    BOOL lossy = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                             nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy)
        return false;
    ansi.assign(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), &ansi[0], length,
                          nullptr, &lossy);
    // Some code pages map a character without telling; it must come back.
    return !lossy && MultiByteToWide(CP_ACP, ansi) == wide;
}

std::string AnsiToUtf8(const std::string& ansi)
{
    return WideToUtf8(MultiByteToWide(CP_ACP, ansi));
}
