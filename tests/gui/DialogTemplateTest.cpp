// Layout checks of the dialog template: a slip in one rectangle would put a
// control outside the window or on top of another one on every platform.
#include "DialogTemplate.h"
#include <gtest/gtest.h>
#include <set>
#include <vector>
#include <string>

namespace {

const DlgTemplate& Dlg() { return FlashDialogTemplate(); }

// A combo box's rectangle includes its dropped-down list; on the dialog it
// takes only about one line of text plus its frame.
constexpr int kClosedComboHeight = 12;

DlgRect OnDialog(const DlgControl& c)
{
    DlgRect r = c.rect;
    if (c.kind == DlgControlKind::ComboBox) r.cy = kClosedComboHeight;
    return r;
}

bool Contains(const DlgRect& outer, const DlgRect& inner)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.cx <= outer.x + outer.cx &&
           inner.y + inner.cy <= outer.y + outer.cy;
}

bool Overlap(const DlgRect& a, const DlgRect& b)
{
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

TEST(DialogTemplate, EveryControlLiesInsideTheWindow)
{
    const DlgRect client{0, 0, Dlg().rect.cx, Dlg().rect.cy};
    for (size_t i = 0; i < Dlg().controlCount; ++i)
        EXPECT_TRUE(Contains(client, OnDialog(Dlg().controls[i]))) << "control #" << i;
}

TEST(DialogTemplate, NoControlCoversAnotherExceptTheGroupBoxItsPortList)
{
    for (size_t i = 0; i < Dlg().controlCount; ++i) {
        for (size_t j = i + 1; j < Dlg().controlCount; ++j) {
            const DlgControl& a = Dlg().controls[i];
            const DlgControl& b = Dlg().controls[j];
            if (a.kind == DlgControlKind::GroupBox || b.kind == DlgControlKind::GroupBox) continue;
            EXPECT_FALSE(Overlap(OnDialog(a), OnDialog(b))) << "controls #" << i << " and #" << j;
        }
    }
}

TEST(DialogTemplate, TheGroupBoxFramesThePortListAndNothingElse)
{
    const DlgControl* port = FindDlgControl(Dlg(), IDC_PORT);
    ASSERT_NE(port, nullptr);
    for (size_t i = 0; i < Dlg().controlCount; ++i) {
        const DlgControl& box = Dlg().controls[i];
        if (box.kind != DlgControlKind::GroupBox) continue;
        EXPECT_STREQ(box.text, "Comport");
        EXPECT_TRUE(Contains(box.rect, OnDialog(*port)));
        for (size_t j = 0; j < Dlg().controlCount; ++j) {
            const DlgControl& other = Dlg().controls[j];
            if (&other == port || &other == &box) continue;
            EXPECT_FALSE(Overlap(box.rect, OnDialog(other))) << "#" << j;
        }
    }
}

TEST(DialogTemplate, IdsAreUniqueAndFindable)
{
    std::set<int> seen;
    for (size_t i = 0; i < Dlg().controlCount; ++i) {
        const int id = Dlg().controls[i].id;
        if (id == IDC_STATIC) continue;
        EXPECT_TRUE(seen.insert(id).second) << "id " << id << " twice";
        EXPECT_EQ(FindDlgControl(Dlg(), id), &Dlg().controls[i]);
    }
    EXPECT_EQ(FindDlgControl(Dlg(), 4711), nullptr);
}

// Tab order is template order: path, browse, port list, then the button.
TEST(DialogTemplate, TabStopsRunPathBrowsePortWrite)
{
    std::vector<int> order;
    for (size_t i = 0; i < Dlg().controlCount; ++i)
        if (Dlg().controls[i].style & kStyleTabStop) order.push_back(Dlg().controls[i].id);
    EXPECT_EQ(order, (std::vector<int>{IDC_FILE_PATH, IDC_BROWSE, IDC_PORT, IDC_WRITE_FLASH}));
}

}  // namespace
