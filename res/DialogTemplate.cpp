#include "DialogTemplate.h"

namespace {

// The label's text is free; it says what the program is rather than pointing
// at a web address.
const DlgControl kFlashControls[] = {
    {IDC_FILE_PATH, DlgControlKind::Edit, "",
     kStyleBorder | kStyleTabStop | kStyleAutoHScroll, {5, 5, 225, 15}},
    {IDC_BROWSE, DlgControlKind::PushButton, ". . .", kStyleTabStop, {235, 5, 15, 15}},
    // The height includes the dropped-down list.
    {IDC_PORT, DlgControlKind::ComboBox, "",
     kStyleDropDownList | kStyleVScroll | kStyleTabStop, {10, 30, 45, 50}},
    {IDC_WRITE_FLASH, DlgControlKind::PushButton, "&Write Flash", kStyleTabStop, {200, 25, 50, 25}},
    {IDC_STATIC, DlgControlKind::GroupBox, "Comport", kStyleNone, {5, 20, 55, 30}},
    {IDC_STATUS, DlgControlKind::StaticText, "", kStyleLeft | kStyleGroup, {65, 25, 125, 8}},
    {IDC_PROGRESS, DlgControlKind::ProgressBar, "Progress1", kStyleBorder | kStyleSmooth,
     {65, 40, 130, 10}},
    {IDC_STATIC, DlgControlKind::StaticText, "Fernbow bootloader programmer",
     kStyleLeft | kStyleGroup, {5, 55, 120, 10}},
};

const DlgTemplate kFlashDialog = {
    IDD_FLASH,
    " PIC16F819, PIC16F88 V1.1",
    {0, 0, 257, 66},
    "MS Sans Serif",
    8,
    kDlgPopup | kDlgVisible | kDlgCaption | kDlgSysMenu | kDlgModalFrame | kDlgSetFont | kDlgAppWindow,
    kFlashControls,
    sizeof kFlashControls / sizeof kFlashControls[0],
};

}  // namespace

const DlgTemplate& FlashDialogTemplate() { return kFlashDialog; }

const DlgControl* FindDlgControl(const DlgTemplate& dlg, int id) {
    for (std::size_t i = 0; i < dlg.controlCount; ++i)
        if (dlg.controls[i].id == id) return &dlg.controls[i];
    return nullptr;
}
