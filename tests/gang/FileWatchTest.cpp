// The watch behind --watch, on the platform's own events (inotify here,
// ReadDirectoryChangesW under Wine).
#include "FileWatch.h"
#include "SettledFile.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

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
    FileWatch watch(file.u8string());
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

#ifdef _WIN32
constexpr int kKeptOpenSettleMs = 800;  // no close is told here: the settle time must cover the pause
#else
constexpr int kKeptOpenSettleMs = 300;
#endif

// Writes text over the file's start in parts 0.5 s apart, as a slow writer
// does; open between the parts, or closed and opened again.
void WriteInParts(const fs::path& path, const std::string& text, bool keepOpen)
{
    std::FILE* kept = keepOpen ? std::fopen(path.string().c_str(), "r+b") : nullptr;
    for (size_t at = 0; at < text.size(); at += 12) {
        std::this_thread::sleep_for(std::chrono::milliseconds(at > 0 ? 500 : 0));
        std::FILE* file = kept ? kept : std::fopen(path.string().c_str(), "r+b");
        std::fseek(file, static_cast<long>(at), SEEK_SET);
        std::fwrite(text.data() + at, 1, std::min<size_t>(12, text.size() - at), file);
        std::fflush(file);
        if (file != kept)
            std::fclose(file);
    }
    if (kept)
        std::fclose(kept);
}

// --watch takes a new program once it has settled, whole, and only when it
// is not the one programmed last.
TEST(SettledFile, TakesEachNewProgramOnceAndWhole)
{
    const fs::path folder = fs::temp_directory_path() /
                            ("fernbow-settle-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    const fs::path file = folder / "app.hex";
    const std::string programmed = ":0400000001020304F2\n:00000001FF\n";
    const std::string next = ":04000000AABBCCDDEE\n:00000001FF\n";  // the same length
    const struct {
        const char* how;
        int settleMs;
        std::function<void()> write;
        int takes;  // each of the content at the end
    } rows[] = {
        {"the same program saved again", 300, [&] { Write(file, programmed); }, 0},
        {"touched", 300, [&] { fs::last_write_time(file, fs::file_time_type::clock::now()); }, 0},
        {"deleted", 300, [&] { fs::remove(file); }, 0},
        {"a new program", 300, [&] { Write(file, next); }, 1},
        {"in place in parts, kept open", kKeptOpenSettleMs, [&] { WriteInParts(file, next, true); }, 1},
        {"in place in parts, closed between, a settle time above the pause", 800,
         [&] { WriteInParts(file, next, false); }, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        Write(file, programmed);
        SettledFile settled(file.u8string(), row.settleMs);
        settled.Programmed();
        std::thread writer(row.write);
        std::vector<std::string> taken;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500 + row.settleMs);
        while (std::chrono::steady_clock::now() < end) {
            if (!settled.NewContent(50))
                continue;
            std::ostringstream text;  // what the run reads
            text << std::ifstream(file, std::ios::binary).rdbuf();
            taken.push_back(text.str());
            settled.Taken();
            settled.Programmed();
        }
        writer.join();
        EXPECT_EQ(taken, std::vector<std::string>(static_cast<size_t>(row.takes), next));
    }
    fs::remove_all(folder);
}

}  // namespace
