#include "DialogRig.h"

#include <gtest/gtest.h>

namespace {

const char kEarlier[] = "/earlier/old.hex";

struct BrowseCase {
    const char* label;
    bool ok;
    const char* bareName;  // the file is made in the rig's files folder
    bool taken;            // the field shows it and "&Write Flash" writes it
    bool remembered;       // the setting holds its path
    bool warned;           // "Must be HEX file!"
};
void PrintTo(const BrowseCase& c, std::ostream* os) { *os << c.label; }

class DialogBrowse : public ::testing::TestWithParam<BrowseCase> {};

// A file dropped onto the window, or a path typed into the field and taken
// at "&Write Flash", goes the same way as one chosen.
TEST_P(DialogBrowse, FollowsTheOutcomeTable)
{
    const BrowseCase& c = GetParam();
    for (const char* way : {"chosen", "dropped", "typed"}) {
        const std::string how = way;
        if (how != "chosen" && !c.ok) continue;  // nothing dropped or typed is no event at all
        SCOPED_TRACE(way);
        DialogRig rig;
        rig.ports.present = {0};
        std::string unused;
        rig.store.ReadRegString("FileName", unused);
        rig.store.WriteRegString("FileName", kEarlier);
        rig.dlg.OnInitDialog();
        rig.dlg.m_strPathName = kEarlier;

        const std::string full = rig.WriteFile(c.bareName, kSmallHex);
        if (how == "dropped") {
            rig.dlg.OnDropFile(full);
        } else if (how == "typed") {
            // Pasted with blanks, in the quotes Windows copies a path in.
            rig.view.texts[IDC_FILE_PATH] = " \"" + full + "\" ";
            rig.link.Close();
            rig.link.canOpen = false;  // the run ends at once, after the file is taken
            rig.dlg.OnWriteFlash();
        } else {
            rig.view.choices.push_back({c.ok, c.ok ? full : "", c.ok ? c.bareName : ""});
            rig.dlg.OnBrowse();
            EXPECT_EQ(rig.view.filter, "hex files (*.hex)|*.hex");
        }
        if (c.taken) {
            EXPECT_EQ(rig.dlg.m_strFileName, c.bareName);
            EXPECT_EQ(rig.dlg.m_strPathName, full);
            // The bare name must find the chosen file.
            EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), rig.files.Path()));
        } else {
            // Not used afterwards: "&Write Flash" writes what the field shows.
            EXPECT_EQ(rig.dlg.m_strFileName, kEarlier);
            EXPECT_EQ(rig.dlg.m_strPathName, kEarlier);
        }
        EXPECT_EQ(rig.view.Text(IDC_FILE_PATH), c.taken ? full : how == "typed" ? " \"" + full + "\" " : kEarlier);
        EXPECT_EQ(rig.Stored("FileName"), c.remembered ? full : kEarlier);
        if (c.warned) {
            ASSERT_EQ(rig.view.boxes.size(), 1u);
            EXPECT_EQ(rig.view.boxes[0].text, "Must be HEX file!");
            EXPECT_EQ(rig.view.boxes[0].title, "fernbow");
            EXPECT_EQ(rig.view.boxes[0].icon, MessageIcon::Exclamation);
        } else {
            EXPECT_TRUE(rig.view.boxes.empty() || rig.view.boxes[0].text != "Must be HEX file!");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, DialogBrowse,
    ::testing::Values(BrowseCase{"cancelled", false, "prog.hex", false, false, false},
                      BrowseCase{"lower", true, "prog.hex", true, true, false},
                      BrowseCase{"upper", true, "prog.HEX", true, true, false},
                      BrowseCase{"mixed", true, "prog.Hex", true, true, false},
                      BrowseCase{"two_dots", true, "my.project.hex", true, true, false},
                      BrowseCase{"other_extension", true, "prog.hex.bak", false, false, true},
                      BrowseCase{"trailing_dot", true, "prog.", false, false, true},
                      BrowseCase{"no_dot", true, "prog", true, false, false},
                      BrowseCase{"leading_dot_only", true, ".hex", true, false, false}),
    [](const ::testing::TestParamInfo<BrowseCase>& info) { return std::string(info.param.label); });

TEST(DialogBrowseFolder, AChosenFolderThatCannotBeEnteredKeepsTheFullPath)
{
    DialogRig rig;
    rig.dlg.OnInitDialog();
    const std::string full = rig.files.Path() + "/no-such-folder/prog.hex";
    rig.view.choices.push_back({true, full, "prog.hex"});
    rig.dlg.OnBrowse();
    // Not some other prog.hex in whatever folder happens to be current.
    EXPECT_EQ(rig.dlg.m_strFileName, full);
    EXPECT_EQ(rig.dlg.m_strPathName, full);
    EXPECT_EQ(rig.Stored("FileName"), full);
}

TEST(DialogBrowseFolder, ALongPathIsKeptWhole)
{
    DialogRig rig;
    rig.dlg.OnInitDialog();
    std::string folder = rig.files.Path();
    for (int i = 0; i < 6; ++i) folder += "/" + std::string(60, static_cast<char>('a' + i));
    std::filesystem::create_directories(folder);
    const std::string bare = std::string(90, 'n') + ".hex";
    const std::string full = folder + "/" + bare;
    rig.view.choices.push_back({true, full, bare});
    rig.dlg.OnBrowse();
    EXPECT_EQ(rig.dlg.m_strFileName, bare);
    EXPECT_EQ(rig.view.Text(IDC_FILE_PATH), full);
    EXPECT_EQ(rig.Stored("FileName"), full);
}

}  // namespace
