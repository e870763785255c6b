#include "SerialDeviceWin.h"

#include "WinErrorText.h"

#include <cctype>

namespace {

PortResult ResultFromWinError(DWORD error)
{
    PortResult result;
    result.osText = WinErrorText(error);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
        result.status = PortStatus::Missing;
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        result.status = PortStatus::Busy;
        break;
    // A COM port another program holds answers "access denied".
    case ERROR_ACCESS_DENIED:
        result.status = PortStatus::AccessDenied;
        break;
    default:
        result.status = PortStatus::Other;
        break;
    }
    return result;
}

// "Local\Fernbow.port..COM3" for "\\.\COM3": object names take no backslash.
std::wstring ClaimName(const std::string& device)
{
    std::wstring name = L"Local\\Fernbow.port.";
    for (char c : device)
        name += c == '\\' ? L'.' : static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

// nullptr when another program of ours holds the device; a claim that cannot
// be made at all is left to the system's own exclusivity.
bool Claim(const std::string& device, HANDLE& claim)
{
    claim = ::CreateMutexW(nullptr, FALSE, ClaimName(device).c_str());
    if (claim != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(claim);
        claim = nullptr;
        return false;
    }
    return true;
}

} // namespace

ComDevice OpenComDevice(const std::string& device, PortResult& result)
{
    result = PortResult();
    ComDevice opened;
    if (device.empty()) {
        result = ResultFromWinError(ERROR_FILE_NOT_FOUND);
        return opened;
    }
    if (!Claim(device, opened.claim)) {
        result = ResultFromWinError(ERROR_SHARING_VIOLATION);
        return opened;
    }
    opened.port = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!opened.Valid()) {
        result = ResultFromWinError(::GetLastError());
        CloseComDevice(opened);
        return opened;
    }
    if (::GetFileType(opened.port) != FILE_TYPE_CHAR) {
        CloseComDevice(opened);
        result.status = PortStatus::NotSerial;
    }
    return opened;
}

PortResult CloseComDevice(ComDevice& device)
{
    PortResult result;
    if (device.Valid() && !::CloseHandle(device.port))
        result = PortResult{PortStatus::Other, WinErrorText(::GetLastError())};
    if (device.claim != nullptr)
        ::CloseHandle(device.claim);
    device = ComDevice();
    return result;
}
