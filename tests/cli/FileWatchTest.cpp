// The watch behind --watch, on the platform's own events (inotify here,
// ReadDirectoryChangesW under Wine).
#include "FileWatch.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(FileWatch, SeesEveryWayARebuildLeavesTheFile)
{
    const fs::path folder = fs::temp_directory_path() /
                            ("fernbow-watch-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    const fs::path file = folder / "app.hex";
    const struct {
        const char* how;
        std::function<void()> change;
    } rebuilds[] = {
        {"rewritten in place", [&] { Write(file, ":00000001FF\n:00000001FF\n"); }},
        {"renamed over it", [&] { Write(folder / "app.tmp", "x"); fs::rename(folder / "app.tmp", file); }},
        {"deleted, then written again", [&] { fs::remove(file); Write(file, ":00000001FF\n"); }},
    };
    Write(file, ":00000001FF\n");
    CFileWatch watch(file.u8string());
    // Another file of the folder is no change of this one.
    Write(folder / "app.lst", "listing");
    EXPECT_FALSE(watch.Changed(500));
    for (const auto& rebuild : rebuilds) {
        SCOPED_TRACE(rebuild.how);
        rebuild.change();
        EXPECT_TRUE(watch.Changed(30000));
        while (watch.Changed(300)) {
        }
    }
    fs::remove_all(folder);
}

}  // namespace
