#include "Console.h"


#include <signal.h>
#include <unistd.h>

namespace {

// Lock-free, so the handler may touch them; the worker threads read the flag.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<void (*)()>::is_always_lock_free);
std::atomic<bool>* g_flag = nullptr;
std::atomic<int> g_firstSignal{0};
std::atomic<void (*)()> g_restore{nullptr};

// The first of SIGINT, SIGTERM and SIGHUP asks the run to stop; a second
// one, or SIGQUIT, ends the program as the signal's own action would, once
// what must be given back is.
extern "C" void OnSignal(int signal)
{
    int none = 0;
    if (signal != SIGQUIT && g_firstSignal.compare_exchange_strong(none, signal)) {
        if (g_flag != nullptr)
            g_flag->store(true);
        return;
    }
    if (void (*restore)() = g_restore.load())
        restore();
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
    // Held back while this handler runs; delivered, with its default action,
    // as it returns.
    raise(signal);
}

} // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void PrepareConsole() {}

void InstallInterruptHandler(std::atomic<bool>* flag)
{
    g_flag = flag;
    // No SA_RESTART: a write or wait that blocks returns on the signal, and
    // whoever made it looks at the flag.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&action.sa_mask, signal);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(signal, &action, nullptr);
    // A closed stdout (| head) makes writes fail with EPIPE instead.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

void SetRestoreBeforeAbruptEnd(void (*restore)())
{
    g_restore.store(restore);
}

bool HangUpReceived()
{
    return g_firstSignal.load() == SIGHUP;
}

bool StdoutIsConsole()
{
    return ::isatty(STDOUT_FILENO) != 0;
}

bool StdoutTakesEscapeCodes()
{
    return StdoutIsConsole();
}
