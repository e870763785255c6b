#include "MonitorTerminal.h"

#include "Console.h"
#include "Utf16Win.h"

#include <string>
#include <windows.h>

namespace {

// The console's modes as they were, for a second Ctrl-C or the console's
// closing, which end the process before the destructor could run.
struct SavedModes {
    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE output = INVALID_HANDLE_VALUE;
    bool inputSaved = false;
    DWORD inputMode = 0;
    bool outputSaved = false;
    DWORD outputMode = 0;
};
SavedModes g_saved;

void RestoreSavedModes()
{
    if (g_saved.inputSaved)
        (void)::SetConsoleMode(g_saved.input, g_saved.inputMode);
    if (g_saved.outputSaved)
        (void)::SetConsoleMode(g_saved.output, g_saved.outputMode);
}

} // namespace

struct MonitorTerminal::State {
    const std::atomic<bool>* interrupted = nullptr;
    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE output = INVALID_HANDLE_VALUE;
    DWORD inputType = FILE_TYPE_UNKNOWN;
    bool console = false;    // input is a console: raw mode was set
    bool ended = false;
};

MonitorTerminal::MonitorTerminal(const std::atomic<bool>* interrupted) : m_state(new State)
{
    State& s = *m_state;
    s.interrupted = interrupted;
    s.input = ::GetStdHandle(STD_INPUT_HANDLE);
    s.output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    s.inputType = s.input == INVALID_HANDLE_VALUE || s.input == nullptr ? FILE_TYPE_UNKNOWN : ::GetFileType(s.input);
    g_saved = SavedModes();
    g_saved.input = s.input;
    g_saved.output = s.output;
    g_saved.inputSaved = s.inputType == FILE_TYPE_CHAR && ::GetConsoleMode(s.input, &g_saved.inputMode);
    g_saved.outputSaved = ::GetConsoleMode(s.output, &g_saved.outputMode) != 0;
    SetRestoreBeforeAbruptEnd(RestoreSavedModes);
    if (g_saved.inputSaved) {
        // Keys as typed, Ctrl-C as a key; VT input where the console has it.
        DWORD raw = g_saved.inputMode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
        if (!::SetConsoleMode(s.input, raw | ENABLE_VIRTUAL_TERMINAL_INPUT))
            (void)::SetConsoleMode(s.input, raw);
        s.console = true;
    }
    // The board's escape sequences drawn by the console where it can (VT mode).
    if (g_saved.outputSaved)
        (void)::SetConsoleMode(s.output, g_saved.outputMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

MonitorTerminal::~MonitorTerminal()
{
    RestoreSavedModes();
    SetRestoreBeforeAbruptEnd(nullptr);
}

bool MonitorTerminal::RawKeys() const
{
    return m_state->console;
}

int MonitorTerminal::ReadInput(uint8_t* buffer, size_t count)
{
    State& s = *m_state;
    if (s.ended || count == 0)
        return -1;
    if (s.console) {
        // Key presses only; focus, mouse and key-up events are dropped.
        size_t n = 0;
        DWORD waiting = 0;
        while (n + 4 <= count && ::GetNumberOfConsoleInputEvents(s.input, &waiting) && waiting > 0) {
            INPUT_RECORD record;
            DWORD read = 0;
            if (!::ReadConsoleInputW(s.input, &record, 1, &read) || read == 0)
                break;
            if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown ||
                record.Event.KeyEvent.uChar.UnicodeChar == 0)
                continue;
            const std::string text = WideToUtf8(std::wstring(1, record.Event.KeyEvent.uChar.UnicodeChar));
            for (char c : text)
                buffer[n++] = static_cast<uint8_t>(c);
        }
        return static_cast<int>(n);
    }
    DWORD available = 0;
    if (s.inputType == FILE_TYPE_PIPE) {
        if (!::PeekNamedPipe(s.input, nullptr, 0, nullptr, &available, nullptr)) {
            s.ended = true;
            return -1;
        }
        if (available == 0)
            return 0;
    } else if (s.inputType != FILE_TYPE_DISK) {
        s.ended = true;  // nothing to read (no standard input at all)
        return -1;
    }
    DWORD got = 0;
    const DWORD want = s.inputType == FILE_TYPE_PIPE && available < count ? available : static_cast<DWORD>(count);
    if (!::ReadFile(s.input, buffer, want, &got, nullptr) || got == 0) {
        s.ended = true;
        return -1;
    }
    return static_cast<int>(got);
}

MonitorTerminal::Write MonitorTerminal::WriteOutput(const uint8_t* data, size_t count)
{
    size_t done = 0;
    while (done < count) {
        if (m_state->interrupted && *m_state->interrupted)
            return Write::Interrupted;
        DWORD written = 0;
        if (!::WriteFile(m_state->output, data + done, static_cast<DWORD>(count - done), &written, nullptr) ||
            written == 0)
            return Write::Closed;  // a closed pipe or a failed handle: the board's output has nowhere to go
        done += written;
    }
    return Write::Done;
}
