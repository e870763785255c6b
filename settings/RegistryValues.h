#pragma once
#include <cstddef>
#include <string>
#include <vector>

// What each platform's hive gives CRegistryStore (RegistryStore.cpp keeps
// the byte layouts): the settings key is "Software\Corvane\Fernbow\Settings\"
// followed by the name, its one value named with that same whole path.

// The whole value; false when it is missing or out of reach. A read creates
// the key.
bool ReadRegistryValue(const std::string& hiveRoot, const std::string& name, std::vector<unsigned char>& data);
// Replaces the value with exactly these bytes; never creates the key.
void WriteRegistryValue(const std::string& hiveRoot, const std::string& name, const unsigned char* data,
                        size_t size);

// A UTF-8 text as it is stored (as it stands on POSIX, in the ANSI code page
// on Windows); false when it cannot be stored so that it comes back as the
// same thing.
bool StoredText(const std::string& text, std::string& stored);
std::string TextFromStored(const std::string& stored);
