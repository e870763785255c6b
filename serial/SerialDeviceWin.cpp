#include "SerialDeviceWin.h"

#include "WinErrorText.h"

namespace {

PortOpenResult ResultFromWinError(DWORD error)
{
    PortOpenResult result;
    result.osText = WinErrorText(error);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
        result.status = PortOpenStatus::Missing;
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        result.status = PortOpenStatus::Busy;
        break;
    // A COM port another program holds answers "access denied".
    case ERROR_ACCESS_DENIED:
        result.status = PortOpenStatus::AccessDenied;
        break;
    default:
        result.status = PortOpenStatus::Other;
        break;
    }
    return result;
}

} // namespace

HANDLE OpenComDevice(const std::string& device, PortOpenResult& result)
{
    result = PortOpenResult();
    if (device.empty()) {
        result = ResultFromWinError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        result = ResultFromWinError(::GetLastError());
        return INVALID_HANDLE_VALUE;
    }
    if (::GetFileType(handle) != FILE_TYPE_CHAR) {
        ::CloseHandle(handle);
        result.status = PortOpenStatus::NotSerial;
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}
