#include "Console.h"

#include "Utf16Win.h"

#include <windows.h>
#include <shellapi.h>

// Older SDK headers lack it (Windows 10 consoles take it).
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

std::atomic<bool>* g_flag = nullptr;
std::atomic<bool> g_askedOnce{false};
std::atomic<void (*)()> g_restore{nullptr};

// Before the default handler ends the process.
void RestoreBeforeEnd()
{
    if (void (*restore)() = g_restore.load())
        restore();
}

// Runs on a thread of its own that Windows starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        if (g_askedOnce.exchange(true)) {
            RestoreBeforeEnd();
            return FALSE;  // the second one: the default handler ends the process
        }
        if (g_flag != nullptr)
            g_flag->store(true);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        // The process ends when this returns: give the run a moment to close
        // the port first.
        if (g_flag != nullptr)
            g_flag->store(true);
        ::Sleep(500);
        RestoreBeforeEnd();
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)  // out of memory: the ANSI arguments are better than none
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i)
        args.push_back(WideToUtf8(wide[i]));
    ::LocalFree(wide);
    return args;
}

void PrepareConsole()
{
    // Our texts are UTF-8; the console's own code page would garble file
    // names. Files and pipes get the UTF-8 bytes as they are.
    ::SetConsoleOutputCP(CP_UTF8);
}

void InstallInterruptHandler(std::atomic<bool>* flag)
{
    g_flag = flag;
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void SetRestoreBeforeAbruptEnd(void (*restore)())
{
    g_restore.store(restore);
}

bool HangUpReceived()
{
    return false;  // closing the console is a Ctrl-C here
}

bool StdoutIsConsole()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool StdoutTakesEscapeCodes()
{
    // A classic console shows escape codes as text unless asked to take them;
    // where it cannot be asked, the panel gives way to plain lines.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!::GetConsoleMode(out, &mode))
        return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           ::SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}
