// Layout checks of the dialog template: a slip in one rectangle would put a
// control outside the window or on top of another one on every platform.
#include "DialogTemplate.h"
#include "DlgTemplateBytes.h"
#include <gtest/gtest.h>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

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

// Reads back the bytes BuildDlgTemplateBytes makes, as Windows would.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    uint16_t Word()
    {
        EXPECT_LE(m_pos + 2, m_bytes.size());
        if (m_pos + 2 > m_bytes.size()) return 0;
        const uint16_t value = static_cast<uint16_t>(m_bytes[m_pos] | m_bytes[m_pos + 1] << 8);
        m_pos += 2;
        return value;
    }
    uint32_t Dword()
    {
        const uint32_t low = Word();
        return low | static_cast<uint32_t>(Word()) << 16;
    }
    DlgRect Rect()
    {
        DlgRect r{};
        for (int* v : {&r.x, &r.y, &r.cx, &r.cy}) *v = static_cast<int16_t>(Word());
        return r;
    }
    // An ASCII text, or "#n" for an ordinal (0xFFFF, n).
    std::string Text()
    {
        std::string text;
        uint16_t c = Word();
        if (c == 0xFFFF) return "#" + std::to_string(Word());
        for (; c != 0; c = Word()) text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }
    void AlignDword() { m_pos = (m_pos + 3) & ~size_t{3}; }
    size_t Left() const { return m_bytes.size() - m_pos; }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_pos = 0;
};

bool operator==(const DlgRect& a, const DlgRect& b)
{
    return a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy;
}

// The Windows dialog is built from these bytes: the numbers Windows must
// find there, written out by hand from the Win32 headers.
TEST(DialogTemplate, Win32BytesCarryTheStylesIdsOrderAndRectangles)
{
    const std::vector<uint8_t> bytes = BuildDlgTemplateBytes(Dlg());
    TemplateReader in(bytes);
    EXPECT_EQ(in.Dword(), 0x90C800C0u);  // WS_POPUP|WS_VISIBLE|WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_SETFONT
    EXPECT_EQ(in.Dword(), 0x00040000u);  // WS_EX_APPWINDOW
    EXPECT_EQ(in.Word(), Dlg().controlCount);
    EXPECT_TRUE(in.Rect() == (DlgRect{0, 0, 257, 66}));
    EXPECT_EQ(in.Word(), 0);  // no menu
    EXPECT_EQ(in.Word(), 0);  // standard dialog class
    EXPECT_EQ(in.Text(), " PIC16F819, PIC16F88 V1.1");
    EXPECT_EQ(in.Word(), 8);
    EXPECT_EQ(in.Text(), "MS Sans Serif");

    struct Expected {
        uint32_t style;
        int id;
        std::string windowClass;
    };
    const Expected expected[] = {
        {0x50810080, IDC_FILE_PATH, "#129"},         // Edit: border, tab stop, ES_AUTOHSCROLL
        {0x50010000, IDC_BROWSE, "#128"},            // Button: BS_PUSHBUTTON, tab stop
        {0x50210003, IDC_PORT, "#133"},              // ComboBox: CBS_DROPDOWNLIST, WS_VSCROLL, tab stop
        {0x50010000, IDC_WRITE_FLASH, "#128"},       // Button: BS_PUSHBUTTON (not the default one)
        {0x50000007, IDC_STATIC, "#128"},            // Button: BS_GROUPBOX
        {0x50020000, IDC_STATUS, "#130"},            // Static: SS_LEFT, WS_GROUP
        {0x50800001, IDC_PROGRESS, "msctls_progress32"},  // border, PBS_SMOOTH
        {0x50020000, IDC_STATIC, "#130"},            // Static: SS_LEFT, WS_GROUP
    };
    ASSERT_EQ(Dlg().controlCount, sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < Dlg().controlCount; ++i) {
        const DlgControl& ctl = Dlg().controls[i];
        in.AlignDword();
        EXPECT_EQ(in.Dword(), expected[i].style) << "control #" << i;
        EXPECT_EQ(in.Dword(), 0u) << "control #" << i;
        EXPECT_TRUE(in.Rect() == ctl.rect) << "control #" << i;
        EXPECT_EQ(static_cast<int16_t>(in.Word()), expected[i].id) << "control #" << i;
        EXPECT_EQ(in.Text(), expected[i].windowClass) << "control #" << i;
        EXPECT_EQ(in.Text(), ctl.text) << "control #" << i;
        EXPECT_EQ(in.Word(), 0) << "control #" << i;  // no creation data
    }
    EXPECT_EQ(in.Left(), 0u);
}

}  // namespace
