#include "RealTimePacer.h"
#include <gpsim/gpsim_time.h>
#include <cstdio>

namespace {
constexpr double kTickSeconds = 0.0005;
// Behind by more than this (a busy machine), the pacer lets the debt go rather
// than racing to catch up: a burst at full speed would squeeze the line's gaps.
constexpr double kMaxDebtSeconds = 0.05;
}  // namespace

RealTimePacer::RealTimePacer(std::function<void(long long)> wait) : m_wait(std::move(wait)) {}

RealTimePacer::~RealTimePacer()
{
    if (m_scheduled) get_cycles().clear_break(this);
}

void RealTimePacer::Start()
{
    if (m_scheduled) return;
    m_scheduled = true;
    get_cycles().set_break(get_cycles().get() + 1, this);
}

void RealTimePacer::Schedule()
{
    const double cps = get_cycles().instruction_cps();
    const auto delta = static_cast<unsigned long long>(kTickSeconds * (cps > 0 ? cps : 1e6));
    get_cycles().set_break(get_cycles().get() + (delta ? delta : 1), this);
}

void RealTimePacer::callback()
{
    const unsigned long long now = get_cycles().get();
    // The first tick comes with the first simulated cycle: real time starts then.
    if (!m_running) {
        m_running = true;
        m_origin = std::chrono::steady_clock::now();
        m_lastCycle = now;
        m_wait(0);
        Schedule();
        return;
    }
    const double cps = get_cycles().instruction_cps();
    m_simulated += static_cast<double>(now - m_lastCycle) / (cps > 0 ? cps : 1e6);
    m_lastCycle = now;
    long long ahead = 0;
    if (m_paced) {
        const double real = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_origin).count();
        const double lead = m_simulated - real;
        if (lead < -kMaxDebtSeconds)
            m_origin += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(-lead - kMaxDebtSeconds));
        if (lead > 0) ahead = static_cast<long long>(lead * 1e9);
    }
    m_wait(ahead);
    Schedule();
}

void RealTimePacer::callback_print() { std::printf("fernbow real-time pacer\n"); }
