#include "WxFlashView.h"
#include "FlashDlg.h"
#include "WxToolkitFit.h"
#include "icon/flash16.xpm"
#include "icon/flash32.xpm"
#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dnd.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/iconbndl.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/utils.h>
#include <algorithm>
#include <vector>

namespace {

// Texts are UTF-8; a path in another encoding is still shown, byte by byte,
// rather than as an empty field.
wxString FromUtf8(const std::string& text) {
    wxString shown = wxString::FromUTF8(text.data(), text.size());
    if (shown.empty() && !text.empty()) shown = wxString(text.data(), wxConvISO8859_1, text.size());
    return shown;
}

std::string ToUtf8(const wxString& text) { return text.utf8_string(); }

// A .hex file dropped onto the window is taken as if chosen with ". . .".
class HexDropTarget : public wxFileDropTarget {
public:
    explicit HexDropTarget(CFlashDlg*& logic) : m_logic(logic) {}
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& files) override {
        if (files.empty() || m_logic == nullptr) return false;
        m_logic->OnDropFile(ToUtf8(files[0]));  // the first file only
        return true;
    }

private:
    CFlashDlg*& m_logic;
};

}  // namespace

CWxFlashView::CWxFlashView(const DlgTemplate& dlg)
    // A fixed frame with a close box and no minimise or maximise box.
    : wxDialog(nullptr, wxID_ANY, wxString::FromUTF8(dlg.caption),
               wxPoint(dlg.rect.x, dlg.rect.y), wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
    // The template's font does not exist here; the desktop's own font at the
    // template's point size keeps the proportions of the layout.
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    font.SetPointSize(dlg.fontPointSize);
    SetFont(font);

    SetClientSize(DialogToPixels(dlg.rect).GetSize());
    const DlgControl* progress = FindDlgControl(dlg, IDC_PROGRESS);
    FitToolkitStyle(*this, progress ? DialogToPixels(progress->rect).height : 0);
    CreateControls(dlg);

    wxIconBundle icons;
    icons.AddIcon(wxIcon(flash32_xpm));
    icons.AddIcon(wxIcon(flash16_xpm));
    SetIcons(icons);

    Bind(wxEVT_BUTTON, &CWxFlashView::OnButton, this);
    Bind(wxEVT_CHOICE, &CWxFlashView::OnPortChoice, this, IDC_PORT);
    Bind(wxEVT_TEXT_ENTER, &CWxFlashView::OnPathEnter, this, IDC_FILE_PATH);
    Bind(wxEVT_TIMER, &CWxFlashView::OnTimerTick, this);
    Bind(wxEVT_CHAR_HOOK, &CWxFlashView::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CWxFlashView::OnCloseBox, this);
    SetDropTarget(new HexDropTarget(m_pLogic));  // the window owns it
}

CWxFlashView::~CWxFlashView() {
    for (auto& timer : m_timers) timer.second->Stop();
}

wxRect CWxFlashView::DialogToPixels(const DlgRect& rect) {
    return wxRect(ConvertDialogToPixels(wxPoint(rect.x, rect.y)),
                  ConvertDialogToPixels(wxSize(rect.cx, rect.cy)));
}

void CWxFlashView::CreateControls(const DlgTemplate& dlg) {
    // Group boxes first, so that they lie beneath the controls they frame;
    // the rest in template order, which is the tab order.
    for (std::size_t i = 0; i < dlg.controlCount; ++i)
        if (dlg.controls[i].kind == DlgControlKind::GroupBox) CreateControl(dlg.controls[i]);
    for (std::size_t i = 0; i < dlg.controlCount; ++i)
        if (dlg.controls[i].kind != DlgControlKind::GroupBox) CreateControl(dlg.controls[i]);
}

wxWindow* CWxFlashView::CreateControl(const DlgControl& ctl) {
    const wxRect r = DialogToPixels(ctl.rect);
    const wxString text = wxString::FromUTF8(ctl.text);
    const wxWindowID id = ctl.id == IDC_STATIC ? wxID_ANY : ctl.id;
    switch (ctl.kind) {
    case DlgControlKind::Edit:
        // Enter in the field ends the dialog, as in a dialog without a
        // default button.
        return new wxTextCtrl(this, id, text, r.GetPosition(), r.GetSize(), wxTE_PROCESS_ENTER);
    case DlgControlKind::PushButton:
        return new wxButton(this, id, text, r.GetPosition(), r.GetSize());
    case DlgControlKind::ComboBox: {
        // The template's height includes the dropped-down list; the closed
        // box takes the toolkit's own height.
        m_pPort = new wxChoice(this, id, r.GetPosition(), wxSize(r.width, -1));
        return m_pPort;
    }
    case DlgControlKind::GroupBox:
        return new wxStaticBox(this, id, text, r.GetPosition(), r.GetSize());
    case DlgControlKind::StaticText:
        return new wxStaticText(this, id, text, r.GetPosition(), r.GetSize(),
                                wxALIGN_LEFT | wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    case DlgControlKind::ProgressBar:
        m_pProgress = new wxGauge(this, id, 100, r.GetPosition(), r.GetSize(),
                                  wxGA_HORIZONTAL | wxGA_SMOOTH);
        return m_pProgress;
    }
    return nullptr;
}

// --- requests from CFlashDlg ---------------------------------------------

void CWxFlashView::SetItemText(int id, const std::string& text) {
    wxWindow* item = FindWindow(id);
    if (!item) return;
    if (auto* edit = dynamic_cast<wxTextCtrl*>(item)) {
        edit->ChangeValue(FromUtf8(text));  // raises no change event
        m_editTexts[id] = {text, edit->GetValue()};
    } else if (auto* label = dynamic_cast<wxStaticText*>(item))
        label->SetLabelText(FromUtf8(text));  // shown as is, "&" included
    else
        item->SetLabel(FromUtf8(text));
}

std::string CWxFlashView::GetItemText(int id) const {
    const wxWindow* item = FindWindow(id);
    if (!item) return std::string();
    const auto* edit = dynamic_cast<const wxTextCtrl*>(item);
    const wxString value = edit ? edit->GetValue() : item->GetLabel();
    const auto set = m_editTexts.find(id);
    if (edit && set != m_editTexts.end() && set->second.second == value) return set->second.first;
    return ToUtf8(value);
}

void CWxFlashView::EnableItem(int id, bool enable) {
    wxWindow* item = FindWindow(id);
    if (!item) return;
    // GTK leaves a disabled control's window with no focus at all, and then
    // Escape and Enter reach nothing. Hand the focus to the next control that
    // can take it first. (A focus change is only known to wx once GTK has
    // done it, so "no focus yet" counts as this control's.)
    wxWindow* focus = FindFocus();
    if (!enable && (focus == item || focus == nullptr)) MoveFocusFrom(item);
    item->Enable(enable);
}

void CWxFlashView::MoveFocusFrom(wxWindow* item) {
    const std::vector<wxWindow*> order(GetChildren().begin(), GetChildren().end());
    const auto at = std::find(order.begin(), order.end(), item);
    if (at == order.end()) return;
    const std::size_t from = static_cast<std::size_t>(at - order.begin());
    for (std::size_t step = 1; step < order.size(); ++step) {
        wxWindow* next = order[(from + step) % order.size()];
        if (next->IsEnabled() && next->CanAcceptFocusFromKeyboard()) {
            next->SetFocus();
            return;
        }
    }
}

void CWxFlashView::ResetPortList() { m_pPort->Clear(); }

void CWxFlashView::AddPortItem(const std::string& text) { m_pPort->Append(FromUtf8(text)); }

void CWxFlashView::SetPortSelection(int index) {
    const bool valid = index >= 0 && static_cast<unsigned>(index) < m_pPort->GetCount();
    m_pPort->SetSelection(valid ? index : wxNOT_FOUND);
}

int CWxFlashView::GetPortSelection() const {
    const int index = m_pPort->GetSelection();
    return index == wxNOT_FOUND ? -1 : index;
}

std::string CWxFlashView::GetPortItemText(int index) const {
    if (index < 0 || static_cast<unsigned>(index) >= m_pPort->GetCount()) return std::string();
    return ToUtf8(m_pPort->GetString(index));
}

void CWxFlashView::SetPortToolTip(const std::string& text) { m_pPort->SetToolTip(FromUtf8(text)); }

void CWxFlashView::SetProgressPos(int pos) {
    // The engine may report past the end; the bar simply stays full.
    m_pProgress->SetValue(std::clamp(pos, 0, m_pProgress->GetRange()));
}

void CWxFlashView::ShowMessageBox(const std::string& text, const std::string& title, MessageIcon icon) {
    // Before the window is shown (start-up) the box stands on its own.
    wxWindow* owner = IsShown() ? this : nullptr;
    const long style = wxOK | (icon == MessageIcon::Exclamation ? wxICON_EXCLAMATION : wxICON_NONE);
    wxMessageDialog box(owner, FromUtf8(text), FromUtf8(title), style);
    box.ShowModal();
}

bool CWxFlashView::ChooseFile(const std::string& filterLabel, const std::string& pattern,
                              std::string& fullPath, std::string& bareName) {
    // No default extension, and the file need not exist: what happens to a
    // missing file is found out when it is opened.
    wxFileDialog dialog(this, wxFileSelectorPromptStr, wxEmptyString, wxEmptyString,
                        FromUtf8(filterLabel + "|" + FileDialogPattern(pattern)), wxFD_OPEN);
    if (dialog.ShowModal() != wxID_OK) return false;
    fullPath = ToUtf8(dialog.GetPath());
    bareName = ToUtf8(dialog.GetFilename());
    return true;
}

void CWxFlashView::StartTimer(int id, int periodMs) {
    auto& timer = m_timers[id];
    if (!timer) timer = std::make_unique<wxTimer>(this, id);
    timer->Start(periodMs);
}

void CWxFlashView::EndDialog(int result) {
    m_bEnded = true;
    m_nResult = result;
    if (IsModal()) EndModal(result);
}

bool CWxFlashView::PumpMessages() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (!loop || !wxTheApp) return false;  // the toolkit is shutting down
    if (!loop->IsYielding()) loop->YieldFor(wxEVT_CATEGORY_ALL);
    return !m_bEnded;
}

void CWxFlashView::Beep() { wxBell(); }

int CWxFlashView::RunModal(const std::function<void()>& initDialog) {
    // The controls were made with the window; it is still hidden.
    initDialog();
    if (m_bEnded) return m_nResult;
    return ShowModal();
}

// --- events to CFlashDlg -------------------------------------------------

void CWxFlashView::OnButton(wxCommandEvent& event) {
    if (!m_pLogic) return;
    if (event.GetId() == IDC_WRITE_FLASH)
        m_pLogic->OnWriteFlash();
    else if (event.GetId() == IDC_BROWSE)
        m_pLogic->OnBrowse();
}

void CWxFlashView::OnPortChoice(wxCommandEvent&) {
    if (m_pLogic) m_pLogic->OnSelchangePort();
}

void CWxFlashView::OnPathEnter(wxCommandEvent&) {
    if (m_pLogic) m_pLogic->OnOK();
}

void CWxFlashView::OnTimerTick(wxTimerEvent& event) {
    if (m_pLogic) m_pLogic->OnTimer(event.GetId());
}

void CWxFlashView::OnCharHook(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (key == WXK_ESCAPE && !event.HasAnyModifiers()) {
        if (m_pLogic) m_pLogic->OnCancel();
        return;
    }
    // Enter anywhere but on a push button ends the dialog; on a button it
    // presses that button (the toolkit does it).
    if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && !event.HasAnyModifiers() &&
        !dynamic_cast<wxButton*>(FindFocus()) && !dynamic_cast<wxTextCtrl*>(FindFocus())) {
        if (m_pLogic) m_pLogic->OnOK();
        return;
    }
    event.Skip();
}

void CWxFlashView::OnCloseBox(wxCloseEvent& event) {
    if (m_pLogic && event.CanVeto()) {
        event.Veto();  // CFlashDlg decides, and ends the dialog through EndDialog
        m_pLogic->OnCancel();
        return;
    }
    EndDialog(wxID_CANCEL);
}
