#include "FileWatchEvents.h"

#include "Utf16Win.h"

#include <cwctype>
#include <windows.h>

struct FileWatch::Events::State {
    HANDLE folder = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
    OVERLAPPED overlapped{};
    bool pending = false;
    std::wstring name;  // the file's name within its folder
    alignas(DWORD) BYTE buffer[16384];

    // Asks for the next batch of changes; false when the folder gives none.
    bool Ask()
    {
        ::ResetEvent(event);
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event;
        const DWORD what = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
        pending = ::ReadDirectoryChangesW(folder, buffer, sizeof buffer, FALSE, what, nullptr, &overlapped, nullptr) != 0;
        return pending;
    }
};

namespace {

bool SameName(const std::wstring& a, const wchar_t* b, size_t bLength)
{
    if (a.size() != bLength)
        return false;
    for (size_t i = 0; i < bLength; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

} // namespace

FileWatch::Events::Events(const std::string& path) : m_state(new State)
{
    const std::wstring wide = Utf8ToWide(path);
    const size_t slash = wide.find_last_of(L"/\\");
    const std::wstring folder = slash == std::wstring::npos ? L"." : wide.substr(0, slash + 1);
    m_state->name = slash == std::wstring::npos ? wide : wide.substr(slash + 1);
    m_state->folder = ::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (m_state->folder == INVALID_HANDLE_VALUE)
        return;
    m_state->event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_state->event == nullptr || !m_state->Ask()) {
        ::CloseHandle(m_state->folder);
        m_state->folder = INVALID_HANDLE_VALUE;
    }
}

FileWatch::Events::~Events()
{
    if (m_state->folder != INVALID_HANDLE_VALUE) {
        if (m_state->pending) {
            ::CancelIo(m_state->folder);
            DWORD ignored = 0;
            (void)::GetOverlappedResult(m_state->folder, &m_state->overlapped, &ignored, TRUE);
        }
        ::CloseHandle(m_state->folder);
    }
    if (m_state->event != nullptr)
        ::CloseHandle(m_state->event);
}

bool FileWatch::Events::Working() const
{
    return m_state->folder != INVALID_HANDLE_VALUE && m_state->pending;
}

bool FileWatch::Events::BeingWritten() const
{
    return false;  // the folder's changes do not tell when a writer closes the file
}

bool FileWatch::Events::Wait(int waitMs)
{
    State& s = *m_state;
    if (::WaitForSingleObject(s.event, static_cast<DWORD>(waitMs)) != WAIT_OBJECT_0)
        return false;
    DWORD bytes = 0;
    const bool got = ::GetOverlappedResult(s.folder, &s.overlapped, &bytes, FALSE) != 0;
    s.pending = false;
    // bytes == 0: more changed than the buffer holds; count it as this file.
    bool aboutTheFile = got && bytes == 0;
    for (DWORD at = 0; got && bytes > 0;) {
        const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(s.buffer + at);
        if (SameName(s.name, info->FileName, info->FileNameLength / sizeof(wchar_t)))
            aboutTheFile = true;
        if (info->NextEntryOffset == 0)
            break;
        at += info->NextEntryOffset;
    }
    s.Ask();
    return aboutTheFile;
}
