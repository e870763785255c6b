#include "ConfigHome.h"

#include "Utf16Win.h"

#include <cstdlib>

std::string ConfigHome()
{
    const wchar_t* appData = ::_wgetenv(L"APPDATA");
    return appData != nullptr ? WideToUtf8(appData) : std::string();
}

std::string FernbowConfigFolder()
{
    std::string root = ConfigHome();
    if (root.empty())
        return std::string();
    if (root.back() != '\\' && root.back() != '/')
        root += '\\';
    return root + "Corvane\\Fernbow";
}
