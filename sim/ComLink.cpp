#include "ComLink.h"
#include "ConfigHome.h"
#include "PtyBoard.h"
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool MakeFolders(const std::string& path, std::string& error)
{
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/') continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            error = part + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}
}  // namespace

bool ComLink::Create(int port, const std::string& target, std::string& error)
{
    const std::string base = FernbowConfigFolder();
    if (base.empty()) {
        error = "no configuration folder (neither XDG_CONFIG_HOME nor a home folder is known)";
        return false;
    }
    const std::string folder = base + "/Ports";
    if (!MakeFolders(folder, error)) return false;
    const std::string path = folder + "/COM" + std::to_string(port);
    // Made beside it and renamed over it, so a stale link of an earlier board
    // is replaced in one step.
    const std::string temp = path + ".new." + std::to_string(getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    m_path = path;
    m_target = target;
    return true;
}

void ComLink::Remove()
{
    if (m_path.empty()) return;
    char buffer[4096];
    const ssize_t n = ::readlink(m_path.c_str(), buffer, sizeof buffer - 1);
    if (n >= 0 && std::string(buffer, static_cast<size_t>(n)) == m_target) ::unlink(m_path.c_str());
    m_path.clear();
}

bool OpenBoardLine(int com, PtyBoard& board, ComLink& link)
{
    std::string error;
    if (!board.Open(error)) {
        std::fprintf(stderr, "fernbow-sim: %s\n", error.c_str());
        return false;
    }
    if (com >= 0 && !link.Create(com, board.SlavePath(), error)) {
        std::fprintf(stderr, "fernbow-sim: cannot make COM%d: %s\n", com, error.c_str());
        return false;
    }
    return true;
}
