#pragma once
#include "resource.h"
#include <cstddef>

// The main dialog's layout as plain data, so that every view (wxWidgets now,
// a Win32 .rc later) is built from the same numbers. Rectangles are in dialog
// units of the dialog's font: x and width in quarters of the average
// character width, y and height in eighths of the character height.

struct DlgRect {
    int x, y, cx, cy;
};

enum class DlgControlKind { Edit, PushButton, ComboBox, GroupBox, StaticText, ProgressBar };

// Style bits the template uses, named after what they ask of the toolkit.
// WS_CHILD and WS_VISIBLE hold for every control and are not listed.
enum DlgStyle : unsigned {
    kStyleNone = 0,
    kStyleBorder = 1u << 0,        // WS_BORDER
    kStyleTabStop = 1u << 1,       // WS_TABSTOP
    kStyleGroup = 1u << 2,         // WS_GROUP
    kStyleAutoHScroll = 1u << 3,   // ES_AUTOHSCROLL
    kStyleDropDownList = 1u << 4,  // CBS_DROPDOWNLIST (no typing, no sorting)
    kStyleVScroll = 1u << 5,       // WS_VSCROLL
    kStyleLeft = 1u << 6,          // SS_LEFT
    kStyleSmooth = 1u << 7,        // PBS_SMOOTH
};

// Window styles of the dialog itself.
enum DlgWindowStyle : unsigned {
    kDlgPopup = 1u << 0,       // WS_POPUP
    kDlgVisible = 1u << 1,     // WS_VISIBLE
    kDlgCaption = 1u << 2,     // WS_CAPTION
    kDlgSysMenu = 1u << 3,     // WS_SYSMENU (close box, no minimise/maximise)
    kDlgModalFrame = 1u << 4,  // DS_MODALFRAME (not resizable)
    kDlgSetFont = 1u << 5,     // DS_SETFONT
    kDlgAppWindow = 1u << 6,   // WS_EX_APPWINDOW (own taskbar button)
};

struct DlgControl {
    int id;
    DlgControlKind kind;
    const char* text;
    unsigned style;  // DlgStyle bits
    DlgRect rect;
};

struct DlgTemplate {
    int id;
    const char* caption;
    DlgRect rect;
    const char* fontName;
    int fontPointSize;
    unsigned style;  // DlgWindowStyle bits
    const DlgControl* controls;  // template order, which is the tab order
    std::size_t controlCount;
};

// IDD_FLASH.
const DlgTemplate& FlashDialogTemplate();

// The first control with this id, nullptr when there is none. IDC_STATIC is
// shared by several controls; look those up by position instead.
const DlgControl* FindDlgControl(const DlgTemplate& dlg, int id);
