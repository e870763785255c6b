#pragma once
#include <string>
#include <vector>
#include <windows.h>

// Where the Windows settings store keeps its values: a registry root and
// the path inside it that stands for that root ("" for the real hive).
struct RegistryHive {
    HKEY root;
    std::string base;  // empty, or a key path ending in a backslash
};

// The machine hive is tried first; where it refuses to create the key (a
// read) or to open it with full access (a write), the user's hive is used.
struct RegistryHives {
    RegistryHive machine;
    RegistryHive user;
};

// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER; for a test root R both below
// HKEY_CURRENT_USER\R, as R\Machine\ and R\User\.
RegistryHives HivesFor(const std::string& testRoot);

// The setting's whole value (a read creates the key); false when no hive
// gives it.
bool ReadSettingValue(const RegistryHives& hives, const std::string& name, std::vector<unsigned char>& data);
// Stores the bytes as REG_BINARY; never creates the key.
void WriteSettingValue(const RegistryHives& hives, const std::string& name, const unsigned char* data,
                       size_t size);
