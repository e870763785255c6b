#include "ProcessSpawn.h"
#include "UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>

extern char** environ;

namespace {

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& changes)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const std::string& change : changes) {
            const size_t nameEnd = change.find('=');
            if (nameEnd != std::string::npos && std::strncmp(*e, change.c_str(), nameEnd + 1) == 0) replaced = true;
        }
        if (!replaced) env.emplace_back(*e);
    }
    env.insert(env.end(), changes.begin(), changes.end());
    return env;
}

std::vector<char*> NullTerminated(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// What the child is given: its descriptors and its signal settings, freed
// with the object.
class ChildSetup {
public:
    ChildSetup()
    {
        m_ready = posix_spawn_file_actions_init(&m_actions) == 0;
        if (m_ready && posix_spawnattr_init(&m_attributes) != 0) {
            posix_spawn_file_actions_destroy(&m_actions);
            m_ready = false;
        }
    }
    ~ChildSetup()
    {
        if (!m_ready) return;
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attributes);
    }
    ChildSetup(const ChildSetup&) = delete;
    ChildSetup& operator=(const ChildSetup&) = delete;

    bool Ready() const { return m_ready; }

    // One of the child's standard streams: a descriptor of ours or a file.
    void Redirect(int stream, int fd, const std::string& path, int flags)
    {
        if (fd >= 0)
            posix_spawn_file_actions_adddup2(&m_actions, fd, stream);
        else if (!path.empty())
            posix_spawn_file_actions_addopen(&m_actions, stream, path.c_str(), flags, 0644);
    }

    // Each of ours is first copied above every number the child is to have,
    // so that placing one never overwrites another not yet placed. The
    // copies close on exec; ours go with this object.
    bool Give(const std::vector<std::pair<int, int>>& descriptors)
    {
        int above = 3;
        for (const auto& d : descriptors) above = std::max(above, d.second + 1);
        for (const auto& d : descriptors) {
            UniqueFd copy(::fcntl(d.first, F_DUPFD_CLOEXEC, above));
            if (!copy.Valid()) return false;
            posix_spawn_file_actions_adddup2(&m_actions, copy.Get(), d.second);
            m_copies.push_back(std::move(copy));
        }
        return true;
    }

    void Signals(const std::vector<int>& blocked, const std::vector<int>& defaults)
    {
        short flags = 0;
        if (!blocked.empty()) {
            sigset_t mask;
            pthread_sigmask(SIG_BLOCK, nullptr, &mask);  // ours, and these too
            for (int s : blocked) sigaddset(&mask, s);
            posix_spawnattr_setsigmask(&m_attributes, &mask);
            flags = static_cast<short>(flags | POSIX_SPAWN_SETSIGMASK);
        }
        if (!defaults.empty()) {
            sigset_t set;
            sigemptyset(&set);
            for (int s : defaults) sigaddset(&set, s);
            posix_spawnattr_setsigdefault(&m_attributes, &set);
            flags = static_cast<short>(flags | POSIX_SPAWN_SETSIGDEF);
        }
        posix_spawnattr_setflags(&m_attributes, flags);
    }

    const posix_spawn_file_actions_t* Actions() const { return &m_actions; }
    const posix_spawnattr_t* Attributes() const { return &m_attributes; }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attributes;
    std::vector<UniqueFd> m_copies;
    bool m_ready = false;
};

}  // namespace

pid_t SpawnProcess(const std::vector<std::string>& argv, const SpawnOptions& options)
{
    if (argv.empty()) {
        errno = EINVAL;
        return -1;
    }
    std::vector<std::string> args = argv;
    std::vector<std::string> env = ChildEnvironment(options.environment);
    std::vector<char*> argp = NullTerminated(args);
    std::vector<char*> envp = NullTerminated(env);

    ChildSetup child;
    if (!child.Ready()) {
        errno = ENOMEM;
        return -1;
    }
    child.Redirect(0, -1, options.stdinPath, O_RDONLY);
    child.Redirect(1, options.stdoutFd, options.stdoutPath, O_WRONLY | O_CREAT | O_TRUNC);
    child.Redirect(2, options.stderrFd, options.stderrPath, O_WRONLY | O_CREAT | O_TRUNC);
    if (!child.Give(options.descriptors)) return -1;
    child.Signals(options.blockedSignals, options.defaultSignals);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argp[0], child.Actions(), child.Attributes(), argp.data(), envp.data());
    if (failed == 0) return pid;
    errno = failed;
    return -1;
}
