#include "RegistryStore.h"

#include "RegistryValues.h"

#include <vector>

int32_t CRegistryStore::ReadRegInt(const std::string& name) const
{
    std::vector<unsigned char> data;
    // Anything but exactly four bytes was not written by this program.
    if (!ReadRegistryValue(m_hiveRoot, name, data) || data.size() != 4)
        return 0;
    const uint32_t value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    return static_cast<int32_t>(value);
}

void CRegistryStore::ReadRegString(const std::string& name, std::string& value) const
{
    value.clear();
    std::vector<unsigned char> data;
    if (!ReadRegistryValue(m_hiveRoot, name, data))
        return;
    size_t length = 0;
    while (length < data.size() && data[length] != 0)
        ++length;
    value = TextFromStored(std::string(reinterpret_cast<const char*>(data.data()), length));
}

void CRegistryStore::WriteRegInt(const std::string& name, int32_t value) const
{
    const uint32_t bits = static_cast<uint32_t>(value);
    const unsigned char data[4] = {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
                                   static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
    WriteRegistryValue(m_hiveRoot, name, data, sizeof data);
}

void CRegistryStore::WriteRegString(const std::string& name, const std::string& value) const
{
    std::string stored;
    if (!StoredText(value, stored))
        return;  // the earlier value stays
    // The text and its terminating zero byte.
    WriteRegistryValue(m_hiveRoot, name, reinterpret_cast<const unsigned char*>(stored.c_str()), stored.size() + 1);
}
