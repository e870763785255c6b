#include "RegistryStore.h"
#include "ConfigHome.h"
#include "RegistryValues.h"

#include "AtomicFile.h"
#include "InputFile.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

// The hive on POSIX: HKEY_LOCAL_MACHINE\Software\ is a folder (the hive
// root), a key is a folder below it, a value is a file inside its key named
// after the value name, backslashes and all (a backslash is an ordinary
// character in a POSIX file name), holding exactly the value's bytes.
namespace {

const char kSettingsPrefix[] = "Software\\Corvane\\Fernbow\\Settings\\";
const char kHivePrefix[] = "Software\\";
// Nothing this program stores comes near this; a bigger file is not ours.
constexpr uint64_t kMaxValueSize = 1 << 20;

struct SettingPaths {
    std::string keyFolder;  // <root>/Corvane/Fernbow/Settings/<name>
    std::string valueFile;  // <keyFolder>/Software\Corvane\...\<name>
    std::string valueName;
};

// The key folder and value file of a setting; false when the name cannot be
// a key (empty parts, "." or "..", a slash) or there is no hive root.
bool PathsFor(const std::string& root, const std::string& name, SettingPaths& paths)
{
    if (root.empty()) return false;
    const std::string full = kSettingsPrefix + name;
    std::string folder = root;
    if (folder.back() != '/') folder += '/';

    const std::string keyPath = full.substr(sizeof(kHivePrefix) - 1);
    size_t start = 0;
    for (;;) {
        const size_t end = keyPath.find('\\', start);
        const std::string part = keyPath.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) return false;
        folder += part;
        if (end == std::string::npos) break;
        folder += '/';
        start = end + 1;
    }
    paths.keyFolder = folder;
    paths.valueName = full;
    paths.valueFile = folder + '/' + full;
    return true;
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p: creates the key and the keys above it. Only folders below the
// hive root are created, never the root itself.
bool CreateKey(const std::string& root, const std::string& keyFolder)
{
    if (!IsFolder(root)) {
        // The root is ~/.config or $XDG_CONFIG_HOME: create it like any
        // program would, but only when what lies above it exists.
        if (::mkdir(root.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (!IsFolder(root)) return false;
    }
    for (size_t pos = root.size() + 1; pos <= keyFolder.size(); ++pos) {
        if (pos != keyFolder.size() && keyFolder[pos] != '/') continue;
        const std::string part = keyFolder.substr(0, pos);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (!IsFolder(part)) return false;
    }
    return true;
}

}  // namespace

// The whole value, or false when it is missing, not a plain file, too big
// or unreadable.
bool ReadRegistryValue(const std::string& root, const std::string& name, std::vector<unsigned char>& data)
{
    SettingPaths paths;
    if (!PathsFor(root, name, paths) || !CreateKey(root, paths.keyFolder)) return false;

    InputFile file;
    if (file.Open(paths.valueFile, kMaxValueSize) != InputFile::Result::Opened) return false;

    data.clear();
    unsigned char buffer[4096];
    for (;;) {
        const long got = file.Read(buffer, sizeof buffer);
        if (got < 0) return false;
        if (got == 0) break;
        data.insert(data.end(), buffer, buffer + got);
    }
    return true;
}

// Replaces the value with data, atomically (the value is always either the
// old bytes or the new ones). The key is not created.
void WriteRegistryValue(const std::string& root, const std::string& name, const unsigned char* data, size_t size)
{
    SettingPaths paths;
    if (!PathsFor(root, name, paths) || !IsFolder(paths.keyFolder)) return;
    std::string error;  // settings fail silently
    (void)WriteFileAtomically(paths.valueFile, data, size, error);
}

// Text is stored as the UTF-8 it is.
bool StoredText(const std::string& text, std::string& stored)
{
    stored = text;
    return true;
}

std::string TextFromStored(const std::string& stored)
{
    return stored;
}

CRegistryStore::CRegistryStore(std::string hiveRoot) : m_hiveRoot(std::move(hiveRoot))
{
    if (m_hiveRoot.empty()) m_hiveRoot = ConfigHome();
}
