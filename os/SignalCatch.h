#pragma once
// Catching a signal (POSIX). Header-only, so that a plug-in loaded into
// another program can use it without linking our libraries.
#include <csignal>
#include <cstring>
#include <pthread.h>

// Calls handler on each signal; calls it interrupted are restarted. false
// when the system refused.
inline bool CatchSignal(int signal, void (*handler)(int))
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = handler;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    return sigaction(signal, &sa, nullptr) == 0;
}

// Lets a signal through to this thread that was blocked (as a program
// started with it blocked has it): one already waiting arrives now.
inline void UnblockSignal(int signal)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}
