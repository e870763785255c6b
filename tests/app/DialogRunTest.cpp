#include "DialogRig.h"

#include <gtest/gtest.h>

namespace {

class DialogWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig.ports.present = {0};
        rig.dlg.OnInitDialog();
        boot.Attach(rig.link);
    }
    void ChooseFile(const std::string& bareName, const std::string& content)
    {
        const std::string full = rig.WriteFile(bareName, content);
        rig.view.choices.push_back({true, full, bareName});
        rig.dlg.OnBrowse();
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& box : rig.view.boxes) texts.push_back(box.text);
        return texts;
    }

    DialogRig rig;
    ScriptedBootloader boot;
};

TEST_F(DialogWrite, NoPortSaysCantOpenComport)
{
    rig.link.Close();
    rig.link.canOpen = false;
    ChooseFile("prog.hex", kSmallHex);
    rig.dlg.OnWriteFlash();
    ASSERT_EQ(BoxTexts(), std::vector<std::string>{"Can't open comport"});
    EXPECT_EQ(rig.view.boxes[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(rig.view.boxes[0].title, "fernbow");
    EXPECT_TRUE(rig.link.writes.empty());
}

TEST_F(DialogWrite, NoFileSaysCantOpenFileAndKeepsThePortOpen)
{
    rig.link.Close();
    rig.dlg.OnWriteFlash();  // nothing stored, nothing chosen: empty name
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Can't open file"});
    EXPECT_TRUE(rig.link.IsOpen());

    rig.view.choices.push_back({false, "", ""});
    rig.dlg.OnBrowse();  // cancelled: the name is empty again
    rig.dlg.OnWriteFlash();
    EXPECT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(BoxTexts().back(), "Can't open file");
    EXPECT_EQ(rig.link.opens, 3);  // start, then found open twice
    EXPECT_TRUE(rig.link.writes.empty());
}

TEST_F(DialogWrite, AFolderIsRefusedAtOpen)
{
    // Not a regular file: refused before a byte is read.
    std::filesystem::create_directory(rig.files.Path() + "/folder.hex");
    rig.view.choices.push_back({true, rig.files.Path() + "/folder.hex", "folder.hex"});
    rig.dlg.OnBrowse();
    rig.dlg.OnWriteFlash();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Can't open file"});
    EXPECT_EQ(rig.view.boxes.back().icon, MessageIcon::Exclamation);
    EXPECT_TRUE(rig.link.writes.empty());
    EXPECT_TRUE(rig.link.IsOpen());  // as for any file that cannot be opened
    EXPECT_TRUE(rig.view.Enabled(IDC_WRITE_FLASH));
}

TEST_F(DialogWrite, AFullRunProgramsAndClosesThePort)
{
    ChooseFile("prog.hex", kSmallHex);
    bool disabledDuringRun = true;
    rig.view.onPump = [&](int) {
        for (int id : {IDC_WRITE_FLASH, IDC_BROWSE, IDC_PORT}) disabledDuringRun &= !rig.view.Enabled(id);
    };
    rig.dlg.OnWriteFlash();

    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(rig.view.Text(IDC_STATUS), "Pic successfully programmed! ");
    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);
    EXPECT_EQ(rig.view.beeps, 1);
    EXPECT_GE(rig.view.progress, 100);  // a full bar
    EXPECT_FALSE(rig.link.IsOpen());
    EXPECT_TRUE(disabledDuringRun);
    for (int id : {IDC_WRITE_FLASH, IDC_BROWSE, IDC_PORT}) EXPECT_TRUE(rig.view.Enabled(id)) << id;
    EXPECT_FALSE(rig.view.ended);

    // The next press opens the port again.
    rig.dlg.OnWriteFlash();
    EXPECT_EQ(rig.link.closes, 2);
    EXPECT_EQ(rig.view.Text(IDC_STATUS), "Pic successfully programmed! ");
}

TEST_F(DialogWrite, AResetCodeThatCannotStartIsToldAfterTheRun)
{
    // call 0x010; goto 0x00A: on the PIC16F88 the call cannot be mended.
    ChooseFile("call.hex", ":0400000010200A289A\n:00000001FF\n");
    size_t boxesDuringRun = 0;
    rig.view.onPump = [&](int) { boxesDuringRun += rig.view.boxes.size(); };
    rig.dlg.OnWriteFlash();

    EXPECT_EQ(boxesDuringRun, 0u);
    EXPECT_EQ(rig.view.Text(IDC_STATUS), "Pic successfully programmed! ");
    ASSERT_EQ(rig.view.boxes.size(), 1u);
    EXPECT_NE(rig.view.boxes[0].text.find("The program calls at address 0 before it sets PCLATH"), std::string::npos);
    EXPECT_EQ(rig.view.boxes[0].icon, MessageIcon::Exclamation);
}

TEST_F(DialogWrite, BadRecordsAreWarnedAboutBeforeAnythingIsSentAndOkGoesOn)
{
    const std::string builtFor88 = std::string(kSmallHex).insert(44, ":02401000383F37\n");
    const struct {
        std::string hex;
        HexLoadReport report;
        uint8_t chip = 'H';
    } cases[] = {
        {":100000008A110A128C2A0000000000000000000001\n:0200100000zz0\n:00000001FF\n", {2, 0, 1, false}},
        // Cut short: the same box, for the end record that never came.
        {":100000008A110A128C2A0000000000000000000083\n", {0, 0, 0, true}},
        // Two values for one address.
        {std::string(kSmallHex).insert(44, ":02000200FFFFFE\n"), {1, 0, 2, false}},
        // Built for the PIC16F88 (CONFIG2), and a PIC16F819 answers: told once
        // the chip is known, before any frame.
        {builtFor88, {}, '8'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        rig.view.boxes.clear();
        rig.link.writes.clear();
        boot.blocksSeen.clear();
        boot.chip = c.chip;
        ChooseFile("prog.hex", c.hex);
        size_t writesAtBox = 99, framesAtBox = 99;
        rig.view.onBox = [&] {
            writesAtBox = rig.link.writes.size();
            framesAtBox = boot.blocksSeen.size();
        };
        rig.dlg.OnWriteFlash();
        const std::string expected = c.report.HasFaults() ? BadRecordsWarning(c.report)
                                                          : "The file was built for the PIC16F88 (it sets CONFIG2";
        ASSERT_EQ(BoxTexts().size(), 1u);
        EXPECT_EQ(BoxTexts()[0].rfind(expected, 0), 0u) << BoxTexts()[0];
        EXPECT_EQ(rig.view.boxes[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(c.report.HasFaults() ? writesAtBox : framesAtBox, 0u);
        EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);
    }
}

TEST_F(DialogWrite, AFileWithoutProgramDataSaysSoAndSendsNothing)
{
    ChooseFile("config.hex", ":02400E00383F39\n:00000001FF\n");
    rig.dlg.OnWriteFlash();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"No program data in file"});
    EXPECT_EQ(rig.view.boxes[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(rig.link.writes.empty());
    EXPECT_FALSE(rig.link.IsOpen());
}

TEST_F(DialogWrite, TheBootAreaBoxIsCaptionedWithTheChip)
{
    ChooseFile("big.hex", ":021EC000FFFF22\n:00000001FF\n");
    rig.dlg.OnWriteFlash();
    ASSERT_EQ(rig.view.boxes.size(), 1u);
    EXPECT_EQ(rig.view.boxes[0].text, "hex file address overlaps boot area. Programming aborted.");
    EXPECT_EQ(rig.view.boxes[0].title, "PIC16F88");
    EXPECT_EQ(rig.view.boxes[0].icon, MessageIcon::None);
}

TEST_F(DialogWrite, CommandsDuringARunAreIgnored)
{
    ChooseFile("prog.hex", kSmallHex);
    const std::string other = rig.WriteFile("other.hex", kSmallHex);
    rig.view.choices.push_back({true, other, "other.hex"});
    rig.ports.present = {0, 5};
    rig.view.items = {"COM0", "COM5"};
    const size_t writesBefore = rig.link.writes.size();

    int pumps = 0;
    rig.view.onPump = [&](int) {
        if (++pumps != 1) return;
        rig.dlg.OnWriteFlash();
        rig.dlg.OnBrowse();
        rig.view.selection = 1;  // the user picks COM5
        rig.dlg.OnSelchangePort();
        EXPECT_TRUE(rig.link.IsOpen());
    };
    rig.dlg.OnWriteFlash();

    EXPECT_EQ(rig.view.Text(IDC_STATUS), "Pic successfully programmed! ");
    EXPECT_EQ(rig.view.fileDialogs, 1);  // only the choice before the run
    EXPECT_EQ(rig.dlg.m_strFileName, "prog.hex");
    EXPECT_EQ(rig.dlg.m_nComPort, 0);
    EXPECT_EQ(rig.view.selection, 0);
    EXPECT_EQ(rig.link.closes, 1);
    EXPECT_EQ(rig.store.ReadRegInt("ComNr"), 0);
    EXPECT_EQ(boot.blocksSeen.size(), 2u);  // one run's blocks, each once
    EXPECT_GT(rig.link.writes.size(), writesBefore);
}

struct CloseCase {
    const char* label;
    bool enter;       // OnOK instead of OnCancel
    bool silent;      // no target: the search would go on for ever
    bool viewClosed;  // the view reports the closed window through its pump
    bool longFile = false;  // closed while the file loads: nothing is sent
};
void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.label; }

class DialogCloseDuringRun : public DialogWrite, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(DialogCloseDuringRun, EndsTheRunAndTheDialog)
{
    const CloseCase& c = GetParam();
    ChooseFile("prog.hex", c.longFile ? std::string(1 << 20, ';') + kSmallHex : std::string(kSmallHex));
    if (c.silent) rig.link.onWrite = nullptr;
    rig.view.onPump = [&](int tick) {
        if (tick != 3) return;
        if (c.viewClosed)
            rig.view.alive = false;
        else
            c.enter ? rig.dlg.OnOK() : rig.dlg.OnCancel();
    };
    rig.dlg.OnWriteFlash();

    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Abandoned);
    EXPECT_TRUE(rig.view.ended);
    EXPECT_FALSE(rig.link.IsOpen());
    EXPECT_TRUE(rig.view.boxes.empty());
    EXPECT_LT(rig.view.tick, 100);
    EXPECT_TRUE(!c.longFile || rig.link.writes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DialogCloseDuringRun,
    ::testing::Values(CloseCase{"close_box_while_target_answers", false, false, false},
                      CloseCase{"enter_while_target_answers", true, false, false},
                      CloseCase{"close_box_while_searching", false, true, false},
                      CloseCase{"window_gone_while_searching", false, true, true},
                      CloseCase{"close_box_while_loading", false, false, false, true}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.label); });

}  // namespace
