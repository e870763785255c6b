#include "ChipWorkDir.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {
bool WriteText(const std::string& path, const std::string& text)
{
    std::ofstream f(path);
    f << text;
    return static_cast<bool>(f);
}
}  // namespace

ChipWorkDir::~ChipWorkDir()
{
    if (m_path.empty()) return;
    // The plug-in writes the dump through a temporary beside it.
    for (const std::string& f : {ScriptPath(), QuitPath(), DumpPath(), DumpPath() + ".tmp"}) ::unlink(f.c_str());
    ::rmdir(m_path.c_str());
}

bool ChipWorkDir::Make(std::string& error)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fernbow-chip.XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        error = std::string("cannot make a temporary folder: ") + std::strerror(errno);
        return false;
    }
    m_path = pattern;
    return true;
}

bool ChipWorkDir::Write(const std::string& script, std::string& error) const
{
    if (WriteText(ScriptPath(), script) && WriteText(QuitPath(), "quit\n")) return true;
    error = "cannot write the gpsim script in " + m_path;
    return false;
}

bool ChipWorkDir::ReadDump(std::string& text) const
{
    std::ifstream in(DumpPath());
    std::stringstream content;
    content << in.rdbuf();
    text = content.str();
    return in && !text.empty();
}
