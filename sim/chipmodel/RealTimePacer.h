#pragma once
#include <gpsim/trigger.h>
#include <chrono>
#include <functional>

// Keeps simulated time in step with the wall clock: every half millisecond of
// simulated time it waits until as much real time has passed. Unpaced, gpsim
// runs an 8 MHz PIC many times faster than real time, and the host's time-outs
// would mean nothing. The wait is handed to a function that may spend it
// watching a file descriptor (the line), so input is taken up while waiting.
class RealTimePacer : public TriggerObject {
public:
    // wait(ns): spend up to ns nanoseconds (0: just look); called every tick.
    explicit RealTimePacer(std::function<void(long long ns)> wait);
    ~RealTimePacer() override;

    // Ticks from the next simulated cycle on.
    void Start();
    void SetPaced(bool paced) { m_paced = paced; }
    // Simulated seconds since the first tick.
    double SimulatedSeconds() const { return m_simulated; }

    void callback() override;
    void callback_print() override;

private:
    void Schedule();

    std::function<void(long long)> m_wait;
    bool m_paced = true;
    bool m_scheduled = false;
    bool m_running = false;
    double m_simulated = 0;
    unsigned long long m_lastCycle = 0;
    std::chrono::steady_clock::time_point m_origin;
};
