#include "FileWatchEvents.h"

#include "UniqueFd.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

struct FileWatch::Events::State {
    UniqueFd fd;
    std::string name;  // the file's name within its folder
    bool writing = false;  // written to, and not closed since
};

FileWatch::Events::Events(const std::string& path) : m_state(new State)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    m_state->name = slash == std::string::npos ? path : path.substr(slash + 1);
    UniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd.Valid())
        return;
    const uint32_t mask = IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_ATTRIB;
    if (::inotify_add_watch(fd.Get(), folder.c_str(), mask) >= 0)
        m_state->fd = std::move(fd);
}

FileWatch::Events::~Events() = default;

bool FileWatch::Events::Working() const
{
    return m_state->fd.Valid();
}

bool FileWatch::Events::BeingWritten() const
{
    return m_state->writing;
}

bool FileWatch::Events::Wait(int waitMs)
{
    pollfd pfd{m_state->fd.Get(), POLLIN, 0};
    if (::poll(&pfd, 1, waitMs) <= 0)
        return false;
    alignas(inotify_event) char buffer[8 * (sizeof(inotify_event) + NAME_MAX + 1)];
    bool aboutTheFile = false;
    for (;;) {
        const ssize_t n = ::read(m_state->fd.Get(), buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if ((event->mask & IN_Q_OVERFLOW) != 0) {
                // Events were lost, a close among them perhaps: the settle
                // time alone judges the file now.
                aboutTheFile = true;
                m_state->writing = false;
                continue;
            }
            if (event->len == 0 || m_state->name != event->name)
                continue;
            aboutTheFile = true;
            // A writer that keeps the file open between its parts shows no
            // close until the last; a file renamed, created or deleted there
            // is another file, whoever wrote the old one.
            if ((event->mask & IN_MODIFY) != 0)
                m_state->writing = true;
            if ((event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE)) != 0)
                m_state->writing = false;
        }
    }
    return aboutTheFile;
}
