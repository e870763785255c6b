#include "Console.h"


#include <signal.h>
#include <unistd.h>

namespace {

// Lock-free, so the handler may touch them; the worker threads read the flag.
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);
std::atomic<bool>* g_flag = nullptr;
std::atomic<int> g_firstSignal{0};

extern "C" void OnInterrupt(int signal)
{
    int none = 0;
    g_firstSignal.compare_exchange_strong(none, signal);
    if (g_flag != nullptr)
        g_flag->store(true);
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
    // SA_RESETHAND: the second signal gets the default action and ends us.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A closed stdout (| head) makes writes fail with EPIPE instead.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
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
