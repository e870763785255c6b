#include "Console.h"

#include "ComPortMap.h"

#include <signal.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t* g_flag = nullptr;

extern "C" void OnInterrupt(int)
{
    if (g_flag != nullptr)
        *g_flag = 1;
}

} // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void PrepareConsole() {}

void InstallInterruptHandler(volatile std::sig_atomic_t* flag)
{
    g_flag = flag;
    // SA_RESETHAND: the second signal gets the default action and ends us.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StdoutIsConsole()
{
    return ::isatty(STDOUT_FILENO) != 0;
}

std::string PortMappingNote()
{
    return "A link COMn in " + ComPortLinkFolder() + " overrides this table.";
}

std::string NoDeviceHint(const std::string& portName)
{
    return portName + " has no device; link one as " + ComPortLinkFolder() + "/" + portName +
           " or give --port /dev/ttyUSB0";
}
