#include "ConfigHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace {

// Each test runs in a process of its own, so changing the environment here
// touches no other test.
// "<tmp>" in a value stands for the test's scratch folder, so no case names
// a folder of one machine.
struct EnvCase {
    const char* label;
    const char* xdg;   // nullptr: unset
    const char* home;  // nullptr: unset
    std::string expected;  // "<passwd>" stands for the account's home folder
};

std::string InScratch(std::string value)
{
    const std::string mark = "<tmp>";
    if (value.compare(0, mark.size(), mark) == 0) {
        std::string scratch = ::testing::TempDir();
        if (!scratch.empty() && scratch.back() == '/')
            scratch.pop_back();
        value.replace(0, mark.size(), scratch);
    }
    return value;
}
void PrintTo(const EnvCase& c, std::ostream* os) { *os << c.label; }

class SettingsConfigHome : public ::testing::TestWithParam<EnvCase> {};

void SetOrUnset(const char* name, const char* value)
{
    if (value)
        ::setenv(name, InScratch(value).c_str(), 1);
    else
        ::unsetenv(name);
}

TEST_P(SettingsConfigHome, FollowsXdgThenHomeThenPasswd)
{
    const EnvCase& c = GetParam();
    SetOrUnset("XDG_CONFIG_HOME", c.xdg);
    SetOrUnset("HOME", c.home);
    std::string expected = InScratch(c.expected);
    if (expected == "<passwd>") {
        const passwd* pw = ::getpwuid(::getuid());
        ASSERT_NE(pw, nullptr);
        expected = std::string(pw->pw_dir) + (std::string(pw->pw_dir).back() == '/' ? "" : "/") + ".config";
    }
    EXPECT_EQ(ConfigHome(), expected);
    EXPECT_EQ(FernbowConfigFolder(), expected + "/Corvane/Fernbow");
}

INSTANTIATE_TEST_SUITE_P(
    Env, SettingsConfigHome,
    ::testing::Values(EnvCase{"xdg", "<tmp>/cfg", "<tmp>/u", "<tmp>/cfg"},
                      EnvCase{"xdg_empty", "", "<tmp>/u", "<tmp>/u/.config"},
                      EnvCase{"home_only", nullptr, "<tmp>/u", "<tmp>/u/.config"},
                      EnvCase{"home_with_slash", nullptr, "<tmp>/u/", "<tmp>/u/.config"},
                      EnvCase{"nothing_set", nullptr, nullptr, "<passwd>"},
                      EnvCase{"home_empty", "", "", "<passwd>"}),
    [](const ::testing::TestParamInfo<EnvCase>& info) { return std::string(info.param.label); });

}  // namespace
