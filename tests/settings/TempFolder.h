#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

// A private folder under the system's temporary folder, removed with
// everything in it when the test ends.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "fernbow-test-XXXXXX").string();
        if (::mkdtemp(&pattern[0]) != nullptr) m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
