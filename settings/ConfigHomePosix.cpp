#include "ConfigHome.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

std::string NonEmptyEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// $HOME, or the password database's entry when HOME is unset (services,
// sudo -H, cron); empty when neither knows.
std::string HomeFolder()
{
    std::string home = NonEmptyEnv("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return std::string();
}

} // namespace

std::string ConfigHome()
{
    std::string xdg = NonEmptyEnv("XDG_CONFIG_HOME");
    if (!xdg.empty())
        return xdg;
    std::string home = HomeFolder();
    if (home.empty())
        return std::string();  // nowhere to keep settings: callers fail silently
    if (home.back() != '/')
        home += '/';
    return home + ".config";
}

std::string FernbowConfigFolder()
{
    std::string root = ConfigHome();
    if (root.empty())
        return std::string();
    if (root.back() != '/')
        root += '/';
    return root + "Corvane/Fernbow";
}
