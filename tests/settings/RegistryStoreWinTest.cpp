// The registry store against Wine's (or Windows') real registry.
#include "RegistryHivesWin.h"
#include "RegistryStore.h"
#include "TempFolder.h"
#include "Utf16Win.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <windows.h>

namespace {

const std::string kPrefix = "Software\\Corvane\\Fernbow\\Settings\\";

// The raw value as the registry holds it; type REG_NONE when there is none.
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<unsigned char> bytes;
};

RawValue Raw(HKEY hive, const std::string& base, const std::string& name)
{
    RawValue raw;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(hive, (base + kPrefix + name).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return raw;
    DWORD size = 0;
    const std::string valueName = kPrefix + name;
    if (::RegQueryValueExA(key, valueName.c_str(), nullptr, &raw.type, nullptr, &size) == ERROR_SUCCESS) {
        raw.bytes.resize(size);
        ::RegQueryValueExA(key, valueName.c_str(), nullptr, &raw.type, raw.bytes.data(), &size);
    }
    ::RegCloseKey(key);
    return raw;
}

bool KeyExists(HKEY hive, const std::string& path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(hive, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

std::vector<unsigned char> Bytes(const std::string& text)
{
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

// A fresh key below HKEY_CURRENT_USER standing for both hives, removed at
// the end: Machine\ and User\ below it.
class RegistryStoreWin : public ::testing::Test {
protected:
    RegistryStoreWin()
        : m_root("Software\\FernbowTests\\" + std::to_string(::GetCurrentProcessId()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name())
    {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, m_root.c_str());
    }
    ~RegistryStoreWin() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, m_root.c_str()); }

    std::string Machine() const { return m_root + "\\Machine\\"; }
    std::string User() const { return m_root + "\\User\\"; }

    const std::string m_root;
    CRegistryStore m_store{m_root};
};

TEST_F(RegistryStoreWin, ReadCreatesTheKeyWriteStoresBinaryUnderTheFullPath)
{
    std::string path = "left over";
    EXPECT_EQ(m_store.ReadRegInt("ComNr"), 0);
    m_store.ReadRegString("FileName", path);
    EXPECT_EQ(path, "");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Machine() + kPrefix + "ComNr"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Machine() + kPrefix + "FileName"));
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, Machine(), "ComNr").type, static_cast<DWORD>(REG_NONE));

    m_store.WriteRegInt("ComNr", 3);
    const RawValue comNr = Raw(HKEY_CURRENT_USER, Machine(), "ComNr");
    EXPECT_EQ(comNr.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(comNr.bytes, (std::vector<unsigned char>{3, 0, 0, 0}));
    EXPECT_EQ(m_store.ReadRegInt("ComNr"), 3);

    const std::string path40 = "C:\\Users\\ann\\projects\\blinky\\blink.hex\\x";
    ASSERT_EQ(path40.size(), 40u);
    m_store.WriteRegString("FileName", path40);
    const RawValue fileName = Raw(HKEY_CURRENT_USER, Machine(), "FileName");
    EXPECT_EQ(fileName.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(fileName.bytes, Bytes(path40));
    m_store.ReadRegString("FileName", path);
    EXPECT_EQ(path, path40);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, User()));
}

TEST_F(RegistryStoreWin, WriteNeverCreatesTheKey)
{
    m_store.WriteRegInt("ComNr", 7);
    m_store.WriteRegString("FileName", "C:\\a.hex");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Machine() + kPrefix + "ComNr"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, User() + kPrefix + "ComNr"));
    EXPECT_EQ(m_store.ReadRegInt("ComNr"), 0);
}

// Where the machine hive refuses (as HKEY_LOCAL_MACHINE does for an
// ordinary user of Windows 10/11), the choices go to the user's hive
// instead of being lost.
TEST_F(RegistryStoreWin, RefusingMachineHiveFallsBackToTheUsersHive)
{
    RegistryHives hives = HivesFor(m_root);
    hives.machine = RegistryHive{nullptr, std::string()};  // refuses every create and open
    std::vector<unsigned char> data;
    EXPECT_FALSE(ReadSettingValue(hives, "ComNr", data));  // the key is made, the value not yet there
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, User() + kPrefix + "ComNr"));

    const unsigned char twelve[4] = {12, 0, 0, 0};
    WriteSettingValue(hives, "ComNr", twelve, sizeof twelve);
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, User(), "ComNr").bytes, (std::vector<unsigned char>{12, 0, 0, 0}));
    ASSERT_TRUE(ReadSettingValue(hives, "ComNr", data));
    EXPECT_EQ(data, (std::vector<unsigned char>{12, 0, 0, 0}));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Machine()));
}

// A setting already stored in the machine hive is the one used, even where
// the user's hive has one too.
TEST_F(RegistryStoreWin, MachineHiveWinsWhereItHasTheKey)
{
    m_store.ReadRegInt("ComNr");
    m_store.WriteRegInt("ComNr", 4);
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (User() + kPrefix + "ComNr").c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const unsigned char nine[4] = {9, 0, 0, 0};
    ::RegSetValueExA(key, (kPrefix + "ComNr").c_str(), 0, REG_BINARY, nine, 4);
    ::RegCloseKey(key);
    EXPECT_EQ(m_store.ReadRegInt("ComNr"), 4);
}

// Paths are UTF-8 inside and ANSI in the registry. A path the code page
// cannot hold is stored in its short form, which names the same file, or
// not at all; it never comes back as another file.
TEST_F(RegistryStoreWin, PathTheCodePageCannotHoldNeverComesBackAsAnotherFile)
{
    std::string path;
    m_store.ReadRegString("FileName", path);

    std::string ansi;
    m_store.WriteRegString("FileName", "C:\\earlier.hex");
    const std::string pi = "\xCF\x80";  // "π", in no Western code page
    ASSERT_FALSE(Utf8ToAnsi("C:\\" + pi + ".hex", ansi)) << "code page " << ::GetACP();

    // No such file, so no short form: nothing is stored.
    m_store.WriteRegString("FileName", "C:\\no-such-folder\\" + pi + ".hex");
    m_store.ReadRegString("FileName", path);
    EXPECT_EQ(path, "C:\\earlier.hex");

    // An existing file: whatever is stored opens that very file.
    TempFolder folder;
    const std::wstring wide = Utf8ToWide(folder.Path() + "\\" + pi + ".hex");
    { std::ofstream(wide.c_str()) << ":00000001FF\n"; }
    m_store.WriteRegString("FileName", WideToUtf8(wide));
    m_store.ReadRegString("FileName", path);
    if (path != "C:\\earlier.hex") {
        std::ifstream stored(Utf8ToWide(path).c_str());
        std::string line;
        std::getline(stored, line);
        EXPECT_EQ(line, ":00000001FF") << path;
        EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(Utf8ToWide(path)), std::filesystem::path(wide)));
    }
}

// The store as the programs use it: HKEY_LOCAL_MACHINE (or the user's hive
// where that refuses), with a path outside ASCII.
TEST(RegistryStoreWinRealHive, NonAsciiPathRoundTrips)
{
    CRegistryStore store;
    std::string saved;
    store.ReadRegString("FileName", saved);
    const std::string path = "C:\\Pr\xC3\xBC" "fung\\caf\xC3\xA9.hex";  // "Prüfung\café.hex"
    std::string ansi;
    if (!Utf8ToAnsi(path, ansi))
        GTEST_SKIP() << "code page " << ::GetACP() << " holds neither character";
    store.WriteRegString("FileName", path);
    std::string back;
    store.ReadRegString("FileName", back);
    EXPECT_EQ(back, path);
    const RawValue machine = Raw(HKEY_LOCAL_MACHINE, "", "FileName");
    const RawValue user = Raw(HKEY_CURRENT_USER, "", "FileName");
    EXPECT_TRUE(machine.bytes == Bytes(ansi) || user.bytes == Bytes(ansi));
    store.WriteRegString("FileName", saved);
}

} // namespace
