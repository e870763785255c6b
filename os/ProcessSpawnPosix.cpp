#include "ProcessSpawn.h"

#include <cstring>
#include <fcntl.h>
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

// One of the child's standard streams: a descriptor of ours or a file.
void Redirect(posix_spawn_file_actions_t& actions, int stream, int fd, const std::string& path, int flags)
{
    if (fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, fd, stream);
    else if (!path.empty())
        posix_spawn_file_actions_addopen(&actions, stream, path.c_str(), flags, 0644);
}

}  // namespace

pid_t SpawnProcess(const std::vector<std::string>& argv, const SpawnOptions& options)
{
    if (argv.empty()) return -1;
    std::vector<std::string> args = argv;
    std::vector<std::string> env = ChildEnvironment(options.environment);
    std::vector<char*> argp = NullTerminated(args);
    std::vector<char*> envp = NullTerminated(env);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    Redirect(actions, 0, -1, options.stdinPath, O_RDONLY);
    Redirect(actions, 1, options.stdoutFd, options.stdoutPath, O_WRONLY | O_CREAT | O_TRUNC);
    Redirect(actions, 2, options.stderrFd, options.stderrPath, O_WRONLY | O_CREAT | O_TRUNC);
    pid_t pid = -1;
    const bool started = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return started ? pid : -1;
}
