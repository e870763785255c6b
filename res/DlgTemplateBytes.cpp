#include "DlgTemplateBytes.h"
#include <utility>

namespace {

// Win32 values, under their Win32 names.
constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_BORDER = 0x00800000;
constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_GROUP = 0x00020000;
constexpr uint32_t WS_TABSTOP = 0x00010000;
constexpr uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr uint32_t DS_MODALFRAME = 0x0080;
constexpr uint32_t DS_SETFONT = 0x0040;
constexpr uint32_t ES_AUTOHSCROLL = 0x0080;
constexpr uint32_t CBS_DROPDOWNLIST = 0x0003;
constexpr uint32_t BS_PUSHBUTTON = 0x0000;
constexpr uint32_t BS_GROUPBOX = 0x0007;
constexpr uint32_t SS_LEFT = 0x0000;
constexpr uint32_t PBS_SMOOTH = 0x0001;

// Atoms of the predefined control classes.
constexpr uint16_t kAtomButton = 0x0080;
constexpr uint16_t kAtomEdit = 0x0081;
constexpr uint16_t kAtomStatic = 0x0082;
constexpr uint16_t kAtomComboBox = 0x0085;
const char kProgressClass[] = "msctls_progress32";

struct StyleBit {
    unsigned bit;
    uint32_t value;
};

constexpr StyleBit kDialogStyles[] = {
    {kDlgPopup, WS_POPUP},          {kDlgVisible, WS_VISIBLE},        {kDlgCaption, WS_CAPTION},
    {kDlgSysMenu, WS_SYSMENU},      {kDlgModalFrame, DS_MODALFRAME},  {kDlgSetFont, DS_SETFONT},
};

constexpr StyleBit kControlStyles[] = {
    {kStyleBorder, WS_BORDER},          {kStyleTabStop, WS_TABSTOP},
    {kStyleGroup, WS_GROUP},            {kStyleAutoHScroll, ES_AUTOHSCROLL},
    {kStyleDropDownList, CBS_DROPDOWNLIST}, {kStyleVScroll, WS_VSCROLL},
    {kStyleLeft, SS_LEFT},              {kStyleSmooth, PBS_SMOOTH},
};

template <size_t N>
uint32_t Win32Style(unsigned bits, const StyleBit (&table)[N])
{
    uint32_t style = 0;
    for (const StyleBit& entry : table)
        if (bits & entry.bit) style |= entry.value;
    return style;
}

class TemplateWriter {
public:
    void Word(uint16_t value)
    {
        m_bytes.push_back(static_cast<uint8_t>(value & 0xFF));
        m_bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
    void Dword(uint32_t value)
    {
        Word(static_cast<uint16_t>(value & 0xFFFF));
        Word(static_cast<uint16_t>(value >> 16));
    }
    // Dialog units and ids are signed 16-bit numbers (IDC_STATIC is 0xFFFF).
    void Short(int value) { Word(static_cast<uint16_t>(value)); }
    void Rect(const DlgRect& r)
    {
        Short(r.x);
        Short(r.y);
        Short(r.cx);
        Short(r.cy);
    }
    void AlignDword()
    {
        while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
    }
    // UTF-8 in, UTF-16 with a terminating zero out. A byte that does not
    // start a valid sequence becomes U+FFFD rather than cutting the text.
    void Text(const char* utf8)
    {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8 ? utf8 : "");
        while (*p) {
            const uint32_t code = NextCodePoint(p);
            if (code >= 0x10000) {
                Word(static_cast<uint16_t>(0xD800 + ((code - 0x10000) >> 10)));
                Word(static_cast<uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
            } else {
                Word(static_cast<uint16_t>(code));
            }
        }
        Word(0);
    }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    static uint32_t NextCodePoint(const unsigned char*& p)
    {
        const unsigned char lead = *p++;
        if (lead < 0x80) return lead;
        int extra = -1;  // continuation bytes that follow
        if (lead >= 0xC2 && lead < 0xE0) extra = 1;
        else if (lead >= 0xE0 && lead < 0xF0) extra = 2;
        else if (lead >= 0xF0 && lead < 0xF5) extra = 3;
        if (extra < 0) return 0xFFFD;
        uint32_t code = lead & (0x3F >> extra);
        for (int i = 0; i < extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return 0xFFFD;  // p[i] may be the end: 0 is no continuation
            code = (code << 6) | (p[i] & 0x3F);
        }
        static const uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return 0xFFFD;
        p += extra;
        return code;
    }

    std::vector<uint8_t> m_bytes;
};

void WriteControl(TemplateWriter& out, const DlgControl& ctl)
{
    uint32_t style = WS_CHILD | WS_VISIBLE | Win32Style(ctl.style, kControlStyles);
    uint16_t atom = 0;
    switch (ctl.kind) {
    case DlgControlKind::Edit: atom = kAtomEdit; break;
    case DlgControlKind::PushButton: atom = kAtomButton; style |= BS_PUSHBUTTON; break;
    case DlgControlKind::GroupBox: atom = kAtomButton; style |= BS_GROUPBOX; break;
    case DlgControlKind::ComboBox: atom = kAtomComboBox; break;
    case DlgControlKind::StaticText: atom = kAtomStatic; break;
    case DlgControlKind::ProgressBar: break;  // named below
    }

    out.AlignDword();
    out.Dword(style);
    out.Dword(0);  // no extended style
    out.Rect(ctl.rect);
    out.Short(ctl.id);
    if (atom != 0) {
        out.Word(0xFFFF);
        out.Word(atom);
    } else {
        out.Text(kProgressClass);
    }
    out.Text(ctl.text);
    out.Word(0);  // no creation data
}

}  // namespace

std::vector<uint8_t> BuildDlgTemplateBytes(const DlgTemplate& dlg)
{
    TemplateWriter out;
    out.Dword(Win32Style(dlg.style, kDialogStyles));
    out.Dword(dlg.style & kDlgAppWindow ? WS_EX_APPWINDOW : 0);
    out.Word(static_cast<uint16_t>(dlg.controlCount));
    out.Rect(dlg.rect);
    out.Word(0);  // no menu
    out.Word(0);  // the standard dialog class
    out.Text(dlg.caption);
    if (dlg.style & kDlgSetFont) {
        out.Word(static_cast<uint16_t>(dlg.fontPointSize));
        out.Text(dlg.fontName);
    }
    for (size_t i = 0; i < dlg.controlCount; ++i) WriteControl(out, dlg.controls[i]);
    return out.Take();
}
