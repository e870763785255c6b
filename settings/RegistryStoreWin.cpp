#include "RegistryStore.h"

#include "RegistryHivesWin.h"
#include "RegistryValues.h"
#include "Utf16Win.h"

#include <utility>

// The registry's ANSI forms, as existing installations wrote them: key
// HKEY_LOCAL_MACHINE\Software\Corvane\Fernbow\Settings\<name>, one
// REG_BINARY value named with that same whole path. An ordinary user of
// Windows 10/11 may not create keys there, and every choice would be lost;
// where the key cannot be created or opened with full access, the same path
// under HKEY_CURRENT_USER is used instead.
namespace {

const char kSettingsPrefix[] = "Software\\Corvane\\Fernbow\\Settings\\";
// Nothing this program stores comes near this; a bigger value is not ours.
constexpr DWORD kMaxValueSize = 1 << 20;

// Owns one key handle for the length of one call.
class Key {
public:
    Key() = default;
    ~Key()
    {
        if (m_key != nullptr)
            ::RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

bool CreateKey(const RegistryHive& hive, const std::string& path, Key& key)
{
    return ::RegCreateKeyExA(hive.root, (hive.base + path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             key.Out(), nullptr) == ERROR_SUCCESS;
}

bool OpenKey(const RegistryHive& hive, const std::string& path, Key& key)
{
    return ::RegOpenKeyExA(hive.root, (hive.base + path).c_str(), 0, KEY_ALL_ACCESS, key.Out()) == ERROR_SUCCESS;
}

// The path in the ANSI code page, or its short (8.3) form when the code page
// cannot hold the long one: that names the same file. false when neither
// can be stored; then nothing is, and the earlier value stays.
bool AnsiPath(const std::string& path, std::string& ansi)
{
    if (Utf8ToAnsi(path, ansi))
        return true;
    const std::wstring wide = Utf8ToWide(path);
    const DWORD length = ::GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (length == 0)
        return false;
    std::wstring shortPath(length, L'\0');
    const DWORD written = ::GetShortPathNameW(wide.c_str(), &shortPath[0], length);
    if (written == 0 || written >= length)
        return false;
    shortPath.resize(written);
    return Utf8ToAnsi(WideToUtf8(shortPath), ansi);
}

} // namespace

RegistryHives HivesFor(const std::string& testRoot)
{
    if (testRoot.empty())
        return {RegistryHive{HKEY_LOCAL_MACHINE, std::string()}, RegistryHive{HKEY_CURRENT_USER, std::string()}};
    return {RegistryHive{HKEY_CURRENT_USER, testRoot + "\\Machine\\"},
            RegistryHive{HKEY_CURRENT_USER, testRoot + "\\User\\"}};
}

bool ReadSettingValue(const RegistryHives& hives, const std::string& name, std::vector<unsigned char>& data)
{
    const std::string full = kSettingsPrefix + name;
    Key key;
    if (!CreateKey(hives.machine, full, key) && !CreateKey(hives.user, full, key))
        return false;
    DWORD size = 0;
    if (::RegQueryValueExA(key.Get(), full.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        size > kMaxValueSize)
        return false;
    data.assign(size, 0);
    if (size == 0)
        return true;
    if (::RegQueryValueExA(key.Get(), full.c_str(), nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS)
        return false;
    data.resize(size);
    return true;
}

void WriteSettingValue(const RegistryHives& hives, const std::string& name, const unsigned char* data, size_t size)
{
    const std::string full = kSettingsPrefix + name;
    Key key;
    if (!OpenKey(hives.machine, full, key) && !OpenKey(hives.user, full, key))
        return;
    (void)::RegSetValueExA(key.Get(), full.c_str(), 0, REG_BINARY, data, static_cast<DWORD>(size));
}

bool ReadRegistryValue(const std::string& hiveRoot, const std::string& name, std::vector<unsigned char>& data)
{
    return ReadSettingValue(HivesFor(hiveRoot), name, data);
}

void WriteRegistryValue(const std::string& hiveRoot, const std::string& name, const unsigned char* data, size_t size)
{
    WriteSettingValue(HivesFor(hiveRoot), name, data, size);
}

bool StoredText(const std::string& text, std::string& stored)
{
    return AnsiPath(text, stored);
}

std::string TextFromStored(const std::string& stored)
{
    return AnsiToUtf8(stored);
}

CRegistryStore::CRegistryStore(std::string hiveRoot) : m_hiveRoot(std::move(hiveRoot)) {}
