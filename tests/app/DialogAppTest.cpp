#include "DialogRig.h"
#include "FlashApp.h"

#include <gtest/gtest.h>

namespace {

// Hands out one FakeView and keeps a pointer to it for the test.
class FakeViewFactory : public IDialogViewFactory {
public:
    std::unique_ptr<IDialogView> CreateView(CFlashDlg& dlg) override
    {
        auto view = std::make_unique<FakeView>();
        view->dlg = &dlg;
        if (prepare) prepare(*view, dlg);
        view->onDestroy = [this](const FakeView& gone) { events = gone.events; };
        ++created;
        return view;
    }
    std::function<void(FakeView&, CFlashDlg&)> prepare;
    int created = 0;
    std::vector<std::string> events;  // of the view, once it is gone
};

class DialogApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.SetComPorts(ports);
        app.SetStore(CRegistryStore(hive.Path()));
        app.SetSerialFactory([this](CLineSettings& line) {
            line.m_nBaudRate = 0;  // the dialog sets 19200 itself
            auto made = std::make_unique<DialogLink>(tick);
            link = made.get();
            made->closeCount = &closes;
            return made;
        });
    }
    TempFolder hive;
    FakePorts ports;
    CFlashApp app{"fernbow"};
    FakeViewFactory views;
    DialogLink* link = nullptr;  // valid only while InitInstance runs
    int closes = 0;
    int tick = 0;
};

TEST_F(DialogApp, TheMissingPortBoxComesBeforeTheWindow)
{
    views.prepare = [this](FakeView& view, CFlashDlg& dlg) {
        view.whileShown = [this, &view, &dlg] {
            EXPECT_EQ(g_pFlashDlg, &dlg);
            EXPECT_EQ(dlg.m_nBaudRate, 19200);
            dlg.OnCancel();
            EXPECT_TRUE(view.ended);
        };
    };
    EXPECT_EQ(app.InitInstance(views), 0);
    ASSERT_EQ(views.created, 1);
    EXPECT_EQ(views.events, (std::vector<std::string>{"box", "shown", "end"}));
    EXPECT_EQ(g_pFlashDlg, nullptr);
}

TEST_F(DialogApp, ThePortIsClosedWhenTheDialogHasEnded)
{
    ports.present = {2};
    CRegistryStore(hive.Path()).ReadRegInt("ComNr");
    CRegistryStore(hive.Path()).WriteRegInt("ComNr", 2);
    bool openWhileShown = false;
    views.prepare = [&](FakeView& view, CFlashDlg& dlg) {
        view.whileShown = [&] {
            openWhileShown = link->IsOpen();
            dlg.OnOK();
        };
    };
    EXPECT_EQ(app.InitInstance(views), 0);
    EXPECT_TRUE(openWhileShown);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(views.events, (std::vector<std::string>{"shown", "end"}));
}

TEST(DialogAppName, IsTheExecutableNameWithoutFolderOrExtension)
{
    EXPECT_EQ(AppNameFromPath("/usr/local/bin/fernbow"), "fernbow");
    EXPECT_EQ(AppNameFromPath("build/app/wx/fernbow.exe"), "fernbow");
    EXPECT_EQ(AppNameFromPath("flash"), "flash");
    EXPECT_EQ(AppNameFromPath(""), "fernbow");
}

}  // namespace
