#include "RegistryStore.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kComNrValue = "Software\\Corvane\\Fernbow\\Settings\\ComNr";
const std::string kFileNameValue = "Software\\Corvane\\Fernbow\\Settings\\FileName";

class SettingsStore : public ::testing::Test {
protected:
    fs::path Key(const std::string& name) const { return fs::path(m_root.Path()) / "Corvane/Fernbow/Settings" / name; }
    fs::path Value(const std::string& name) const
    {
        return Key(name) / ("Software\\Corvane\\Fernbow\\Settings\\" + name);
    }
    static std::vector<unsigned char> Bytes(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void Put(const fs::path& file, const std::string& bytes)
    {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    // Everything in the key folder but the value itself.
    std::vector<std::string> Strays(const std::string& name) const
    {
        std::vector<std::string> strays;
        for (const auto& entry : fs::directory_iterator(Key(name)))
            if (entry.path().filename() != Value(name).filename()) strays.push_back(entry.path().filename());
        return strays;
    }

    TempFolder m_root;
    CRegistryStore m_store{m_root.Path()};
};

TEST_F(SettingsStore, FirstReadCreatesTheKeysButNoValue)
{
    ASSERT_FALSE(m_root.Path().empty());
    EXPECT_EQ(m_store.ReadRegInt("ComNr"), 0);
    std::string path = "left over";
    m_store.ReadRegString("FileName", path);
    EXPECT_EQ(path, "");

    EXPECT_TRUE(fs::is_directory(Key("ComNr")));
    EXPECT_TRUE(fs::is_directory(Key("FileName")));
    EXPECT_TRUE(fs::is_empty(Key("ComNr")));
    EXPECT_TRUE(fs::is_empty(Key("FileName")));
}

TEST_F(SettingsStore, ByteLayoutsAndRoundTrips)
{
    m_store.ReadRegInt("ComNr");
    std::string unused;
    m_store.ReadRegString("FileName", unused);

    m_store.WriteRegInt("ComNr", 3);
    EXPECT_EQ(Bytes(Value("ComNr")), (std::vector<unsigned char>{0x03, 0x00, 0x00, 0x00}));
    EXPECT_EQ(m_store.ReadRegInt("ComNr"), 3);

    m_store.WriteRegInt("ComNr", -2);
    EXPECT_EQ(Bytes(Value("ComNr")), (std::vector<unsigned char>{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(m_store.ReadRegInt("ComNr"), -2);

    const std::string path40 = "firmware/projects/blinky/out/blink88.hex";
    ASSERT_EQ(path40.size(), 40u);
    m_store.WriteRegString("FileName", path40);
    std::vector<unsigned char> expected(path40.begin(), path40.end());
    expected.push_back(0);
    EXPECT_EQ(Bytes(Value("FileName")), expected);

    // Longer than any fixed buffer: still read back whole.
    for (const size_t length : {99u, 100u, 4000u}) {
        const std::string path = "/" + std::string(length - 1, 'p');
        m_store.WriteRegString("FileName", path);
        std::string read;
        m_store.ReadRegString("FileName", read);
        EXPECT_EQ(read, path) << length;
        EXPECT_EQ(fs::file_size(Value("FileName")), length + 1);
    }
}

TEST_F(SettingsStore, WriteIntoAMissingKeyStoresNothing)
{
    m_store.WriteRegInt("ComNr", 7);
    m_store.WriteRegString("FileName", "a.hex");
    EXPECT_FALSE(fs::exists(Key("ComNr")));
    EXPECT_FALSE(fs::exists(Key("FileName")));
    EXPECT_FALSE(fs::exists(fs::path(m_root.Path()) / "Corvane"));

    // A value deleted by hand comes back while its key is still there.
    m_store.ReadRegInt("ComNr");
    m_store.WriteRegInt("ComNr", 5);
    fs::remove(Value("ComNr"));
    m_store.WriteRegInt("ComNr", 6);
    EXPECT_EQ(m_store.ReadRegInt("ComNr"), 6);
}

TEST_F(SettingsStore, ReplacementIsAtomicAndLeavesNoTemporaryFiles)
{
    std::string unused;
    m_store.ReadRegString("FileName", unused);
    m_store.WriteRegString("FileName", std::string(300, 'x'));

    // A second name for the old file: rewriting in place would change it too.
    const fs::path oldLink = fs::path(m_root.Path()) / "old";
    fs::create_hard_link(Value("FileName"), oldLink);
    m_store.WriteRegString("FileName", "/short.hex");

    EXPECT_EQ(Bytes(oldLink).size(), 301u);
    std::string read;
    m_store.ReadRegString("FileName", read);
    EXPECT_EQ(read, "/short.hex");
    EXPECT_EQ(fs::file_size(Value("FileName")), 11u);
    EXPECT_TRUE(Strays("FileName").empty());
}

TEST_F(SettingsStore, AFailedWriteKeepsTheOldValueAndCleansUp)
{
    m_store.ReadRegInt("ComNr");
    // A folder where the value should be: the final rename cannot replace it.
    fs::create_directory(Value("ComNr"));
    Put(Value("ComNr") / "keep", "kept");
    m_store.WriteRegInt("ComNr", 9);
    EXPECT_TRUE(fs::is_directory(Value("ComNr")));
    EXPECT_EQ(Bytes(Value("ComNr") / "keep").size(), 4u);
    EXPECT_TRUE(Strays("ComNr").empty());
    EXPECT_EQ(m_store.ReadRegInt("ComNr"), 0);
}

struct StoredBytes {
    const char* label;
    std::string bytes;
    int32_t asInt;
    std::string asText;
};
void PrintTo(const StoredBytes& c, std::ostream* os) { *os << c.label; }

class SettingsStoredValues : public SettingsStore, public ::testing::WithParamInterface<StoredBytes> {};

TEST_P(SettingsStoredValues, ReadAsWhatWasWrittenOrTheDefault)
{
    const StoredBytes& c = GetParam();
    m_store.ReadRegInt("ComNr");
    std::string unused;
    m_store.ReadRegString("FileName", unused);
    Put(Value("ComNr"), c.bytes);
    Put(Value("FileName"), c.bytes);

    EXPECT_EQ(m_store.ReadRegInt("ComNr"), c.asInt);
    std::string text = "stale";
    m_store.ReadRegString("FileName", text);
    EXPECT_EQ(text, c.asText);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SettingsStoredValues,
    ::testing::Values(StoredBytes{"empty", "", 0, ""},
                      StoredBytes{"two_bytes", std::string("\x05\x00", 2), 0, std::string("\x05", 1)},
                      StoredBytes{"four_bytes", std::string("\x0C\x00\x00\x00", 4), 12, "\x0C"},
                      StoredBytes{"five_bytes", std::string("\x0C\x00\x00\x00\x01", 5), 0, "\x0C"},
                      StoredBytes{"text_without_zero", "/a/b.hex", 0, "/a/b.hex"},
                      StoredBytes{"text_then_junk", std::string("/a.hex\0junk", 11), 0, "/a.hex"},
                      StoredBytes{"hundred_bytes_no_zero", std::string(100, 'q'), 0, std::string(100, 'q')}),
    [](const ::testing::TestParamInfo<StoredBytes>& info) { return std::string(info.param.label); });

TEST(SettingsStoreRoot, AHiveRootThatIsAFileFailsSilently)
{
    TempFolder folder;
    const std::string file = folder.Path() + "/plain-file";
    std::ofstream(file) << "not a folder";
    // Root ignores permissions, but nobody can create a folder inside a file.
    for (const std::string& root : {file, file + "/below"}) {
        CRegistryStore store(root);
        EXPECT_EQ(store.ReadRegInt("ComNr"), 0);
        std::string text = "stale";
        store.ReadRegString("FileName", text);
        EXPECT_EQ(text, "");
        store.WriteRegInt("ComNr", 4);
        store.WriteRegString("FileName", "/x.hex");
    }
    std::ifstream in(file);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "not a folder");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

TEST(SettingsStoreRoot, NamesThatCannotBeKeysAreRefused)
{
    TempFolder folder;
    CRegistryStore store(folder.Path());
    for (const char* name : {"", "..", "../../escape", "a/b", "a\\\\b"}) {
        EXPECT_EQ(store.ReadRegInt(name), 0) << name;
        store.WriteRegInt(name, 1);
    }
    EXPECT_FALSE(fs::exists(fs::path(folder.Path()).parent_path() / "escape"));
    EXPECT_FALSE(fs::exists(fs::path(folder.Path()) / "Corvane/Fernbow/escape"));
}

}  // namespace
