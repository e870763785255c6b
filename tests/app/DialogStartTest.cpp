#include "DialogRig.h"

#include <gtest/gtest.h>

namespace {

const char kMissing[] = "Last selected comport not available! Please select com port.";

struct StartCase {
    const char* label;
    bool storePort;
    int storedPort;
    std::set<int> present;
    std::vector<std::string> items;
    int selection;  // -1: none, and the box is shown
};
void PrintTo(const StartCase& c, std::ostream* os) { *os << c.label; }

class DialogStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(DialogStart, ListsFreePortsAndOpensTheRememberedOne)
{
    const StartCase& c = GetParam();
    DialogRig rig;
    rig.ports.present = c.present;
    if (c.storePort) {
        rig.store.ReadRegInt("ComNr");
        rig.store.WriteRegInt("ComNr", c.storedPort);
    }
    ASSERT_TRUE(rig.dlg.OnInitDialog());

    EXPECT_EQ(rig.dlg.m_nBaudRate, 19200);
    EXPECT_EQ(rig.dlg.m_nComPort, c.storePort ? c.storedPort : 0);
    EXPECT_EQ(rig.view.items, c.items);
    EXPECT_EQ(rig.view.selection, c.selection);
    EXPECT_EQ(rig.ports.probed.size(), 20u);
    EXPECT_EQ(rig.view.timers, (std::vector<std::pair<int, int>>{{4, 20}}));
    if (c.selection < 0) {
        ASSERT_EQ(rig.view.boxes.size(), 1u);
        EXPECT_EQ(rig.view.boxes[0].text, kMissing);
        EXPECT_EQ(rig.view.boxes[0].title, "fernbow");
        EXPECT_EQ(rig.view.boxes[0].icon, MessageIcon::None);
        EXPECT_FALSE(rig.link.IsOpen());
        EXPECT_EQ(rig.link.opens, 0);
        EXPECT_EQ(rig.view.toolTip, "");
    } else {
        EXPECT_TRUE(rig.view.boxes.empty());
        EXPECT_TRUE(rig.link.IsOpen());
        EXPECT_EQ(rig.view.toolTip, "/dev/fake" + std::to_string(rig.dlg.m_nComPort));
    }
    // Preselecting is not a choice: nothing new is stored.
    EXPECT_EQ(rig.store.ReadRegInt("ComNr"), c.storePort ? c.storedPort : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, DialogStart,
    ::testing::Values(
        StartCase{"nothing_stored_no_ports", false, 0, {}, {}, -1},
        StartCase{"nothing_stored_com0_free", false, 0, {0, 2}, {"COM0", "COM2"}, 0},
        StartCase{"remembered_available", true, 3, {1, 3, 4}, {"COM1", "COM3", "COM4"}, 1},
        StartCase{"remembered_missing_or_busy", true, 3, {1, 4}, {"COM1", "COM4"}, -1},
        StartCase{"remembered_out_of_range", true, 20, {0, 19, 20}, {"COM0", "COM19"}, -1},
        StartCase{"remembered_negative", true, -1, {0}, {"COM0"}, -1},
        StartCase{"remembered_highest", true, 19, {5, 12, 19}, {"COM5", "COM12", "COM19"}, 2}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.label); });

TEST(DialogStartPath, ShowsTheStoredPathAndOpensItByDefault)
{
    DialogRig rig;
    std::string unused;
    rig.store.ReadRegString("FileName", unused);
    rig.store.WriteRegString("FileName", "/projects/blink.hex");
    rig.dlg.OnInitDialog();
    EXPECT_EQ(rig.dlg.m_strFileName, "/projects/blink.hex");
    EXPECT_EQ(rig.dlg.m_strEditPath, "/projects/blink.hex");
    EXPECT_EQ(rig.dlg.m_strPathName, "");
    EXPECT_EQ(rig.view.Text(IDC_FILE_PATH), "/projects/blink.hex");
}

TEST(DialogStartPath, FirstStartCreatesBothKeys)
{
    DialogRig rig;
    rig.dlg.OnInitDialog();
    EXPECT_EQ(rig.dlg.m_strFileName, "");
    EXPECT_EQ(rig.view.Text(IDC_FILE_PATH), "");
    const std::filesystem::path settings = std::filesystem::path(rig.hive.Path()) / "Corvane/Fernbow/Settings";
    EXPECT_TRUE(std::filesystem::is_directory(settings / "ComNr"));
    EXPECT_TRUE(std::filesystem::is_directory(settings / "FileName"));
}

class DialogPorts : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig.ports.present = {1, 3, 12};
        rig.store.ReadRegInt("ComNr");
        rig.store.WriteRegInt("ComNr", 3);
        rig.dlg.OnInitDialog();
        ASSERT_TRUE(rig.link.IsOpen());
    }
    void Choose(int index)
    {
        rig.view.selection = index;
        rig.dlg.OnSelchangePort();
    }
    DialogRig rig;
};

TEST_F(DialogPorts, ChoosingAPortReopensAndRemembersIt)
{
    Choose(2);
    EXPECT_EQ(rig.dlg.m_nComPort, 12);
    EXPECT_EQ(rig.link.closes, 1);
    EXPECT_TRUE(rig.link.IsOpen());
    EXPECT_EQ(rig.store.ReadRegInt("ComNr"), 12);
    EXPECT_EQ(rig.view.toolTip, "/dev/fake12");

    // The port already open: closed, opened again, stored again.
    Choose(2);
    EXPECT_EQ(rig.link.closes, 2);
    EXPECT_TRUE(rig.link.IsOpen());
    EXPECT_EQ(rig.store.ReadRegInt("ComNr"), 12);
}

TEST_F(DialogPorts, AChoiceThatCannotOpenIsStoredAnyway)
{
    rig.link.canOpen = false;
    Choose(0);
    EXPECT_EQ(rig.dlg.m_nComPort, 1);
    EXPECT_FALSE(rig.link.IsOpen());
    EXPECT_TRUE(rig.view.boxes.empty());
    EXPECT_EQ(rig.store.ReadRegInt("ComNr"), 1);
}

TEST_F(DialogPorts, NoSelectionClosesThePortAndKeepsTheNumber)
{
    Choose(-1);
    EXPECT_FALSE(rig.link.IsOpen());
    EXPECT_EQ(rig.dlg.m_nComPort, 3);
    EXPECT_EQ(rig.store.ReadRegInt("ComNr"), 3);
}

TEST(DialogTimer, CountsDownOnTimerFourOnly)
{
    DialogRig rig;
    rig.dlg.SetCountdown(150);
    for (int i = 0; i < 149; ++i) rig.dlg.OnTimer(4);
    EXPECT_EQ(rig.dlg.m_nCountdown, 1);
    rig.dlg.OnTimer(3);
    EXPECT_EQ(rig.dlg.GetCountdown(), 1);
    rig.dlg.OnTimer(4);
    rig.dlg.OnTimer(4);
    EXPECT_EQ(rig.dlg.m_nCountdown, 0);
}

TEST(DialogClose, EnterAndEscapeEndTheIdleDialog)
{
    for (const bool enter : {true, false}) {
        DialogRig rig;
        rig.dlg.OnInitDialog();
        enter ? rig.dlg.OnOK() : rig.dlg.OnCancel();
        EXPECT_TRUE(rig.view.ended);
        EXPECT_EQ(rig.view.endResult, enter ? 1 : 2);
    }
}

}  // namespace
