#include "FileWatch.h"

#include "FileWatchEvents.h"
#include "SteadyClock.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

constexpr int kLookEveryMs = 200;

} // namespace

FileWatch::FileWatch(const std::string& path)
    : m_path(path), m_events(std::make_unique<Events>(path)), m_last(LookAtFile()), m_lastLookMs(SteadyMs())
{
}

FileWatch::~FileWatch() = default;

FileWatch::Look FileWatch::LookAtFile() const
{
    namespace fs = std::filesystem;
    Look look;
    std::error_code ec;
    const fs::path path = fs::u8path(m_path);
    const uintmax_t size = fs::file_size(path, ec);
    if (ec)
        return look;
    const auto time = fs::last_write_time(path, ec);
    if (ec)
        return look;
    look.exists = true;
    look.size = size;
    look.time = static_cast<int64_t>(time.time_since_epoch().count());
    return look;
}

bool FileWatch::BeingWritten() const
{
    return m_events->Working() && m_events->BeingWritten();
}

bool FileWatch::Changed(int waitMs)
{
    const int64_t end = SteadyMs() + waitMs;
    for (;;) {
        const int64_t now = SteadyMs();
        // Events wake the wait at once; the look catches what gives none.
        const int64_t nextLook = m_lastLookMs + kLookEveryMs;
        const int slice = static_cast<int>(std::max<int64_t>(0, std::min(end, nextLook) - now));
        bool changed = m_events->Working() ? m_events->Wait(slice) : false;
        if (!m_events->Working() && slice > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(slice));
        if (changed || SteadyMs() >= nextLook) {
            const Look look = LookAtFile();
            m_lastLookMs = SteadyMs();
            changed = changed || look != m_last;
            m_last = look;
        }
        if (changed)
            return true;
        if (SteadyMs() >= end)
            return false;
    }
}
