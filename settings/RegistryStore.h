#pragma once
#include <cstdint>
#include <string>

// The names of the two remembered settings.
constexpr char kComNrSetting[] = "ComNr";
constexpr char kFileNameSetting[] = "FileName";
// The fastest line rate a run may switch to (0 or absent: as fast as port and
// bootloader go); set by hand for an adapter or cable that cannot carry more.
constexpr char kMaxBaudSetting[] = "MaxBaud";

// The two remembered settings ("ComNr", "FileName"), kept as registry-style
// binary values: key Software\Corvane\Fernbow\Settings\<name>, holding one
// value whose name is that same whole path. A read creates the key, a write
// never does; failures are silent (reads give 0 or "").
class CRegistryStore {
public:
    // hiveRoot stands for HKEY_LOCAL_MACHINE\Software\ ; empty means the
    // platform default (ConfigHome() on POSIX; on Windows the registry's
    // HKEY_LOCAL_MACHINE, falling back to HKEY_CURRENT_USER where the user
    // may not create or fully open the key). On Windows a non-empty root R
    // is a key path standing for both hives, HKEY_CURRENT_USER\R\Machine
    // and HKEY_CURRENT_USER\R\User, for tests.
    explicit CRegistryStore(std::string hiveRoot = std::string());

    int32_t ReadRegInt(const std::string& name) const;
    void ReadRegString(const std::string& name, std::string& value) const;
    void WriteRegInt(const std::string& name, int32_t value) const;
    void WriteRegString(const std::string& name, const std::string& value) const;

private:
    std::string m_hiveRoot;
};
