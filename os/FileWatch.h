#pragma once
#include <cstdint>
#include <memory>
#include <string>

// Tells when a file has changed: a rebuild that puts a new file in its
// place (renamed over it, or deleted and written again) or rewrites it in
// place. The system's events are used where it gives them (inotify;
// ReadDirectoryChangesW on Windows), and the file's size and time are looked
// at every 200 ms as well, for file systems that give none (some network
// mounts).
class FileWatch {
public:
    explicit FileWatch(const std::string& path);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // true as soon as the file has changed since the last call (or since the
    // watch began); false when waitMs milliseconds passed without a change.
    bool Changed(int waitMs);
    // true while the events up to the last Changed show a writer that has
    // written to the file and not yet closed it (inotify's close event);
    // always false where the system does not tell (Windows, no events).
    bool BeingWritten() const;

private:
    // The file's size and time, or "missing": what the 200 ms look compares.
    struct Look {
        bool exists = false;
        uintmax_t size = 0;
        int64_t time = 0;
        bool operator!=(const Look& other) const
        {
            return exists != other.exists || size != other.size || time != other.time;
        }
    };
    Look LookAtFile() const;

    // The platform's events for the file's folder; defined per platform.
    class Events;
    std::string m_path;
    std::unique_ptr<Events> m_events;
    Look m_last;
    int64_t m_lastLookMs = 0;
};
