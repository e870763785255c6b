#pragma once
#include "DialogTemplate.h"
#include "DialogView.h"
#include <wx/dialog.h>
#include <map>
#include <memory>
#include <string>

class CFlashDlg;
class wxChoice;
class wxGauge;
class wxTimer;
class wxTimerEvent;
class wxCommandEvent;
class wxKeyEvent;
class wxCloseEvent;

// The main dialog as a wxWidgets window. It lays the controls out from the
// dialog template, hands every user event to CFlashDlg and carries out what
// CFlashDlg asks of it; the behaviour itself lives in CFlashDlg.
class CWxFlashView final : public wxDialog, public IDialogView {
public:
    explicit CWxFlashView(const DlgTemplate& dlg);
    ~CWxFlashView() override;

    // Where the events go. Set before OnInitDialog runs.
    void SetLogic(CFlashDlg* logic) { m_pLogic = logic; }

    // Pixel rectangle of a template rectangle, converted with the dialog's font.
    wxRect DialogToPixels(const DlgRect& rect);

    void SetItemText(int id, const std::string& text) override;
    std::string GetItemText(int id) const override;
    void EnableItem(int id, bool enable) override;
    void ResetPortList() override;
    void AddPortItem(const std::string& text) override;
    void SetPortSelection(int index) override;
    int GetPortSelection() const override;
    std::string GetPortItemText(int index) const override;
    void SetPortToolTip(const std::string& text) override;
    void SetProgressPos(int pos) override;
    void ShowMessageBox(const std::string& text, const std::string& title, MessageIcon icon) override;
    bool ChooseFile(const std::string& filterLabel, const std::string& pattern,
                    std::string& fullPath, std::string& bareName) override;
    void StartTimer(int id, int periodMs) override;
    void EndDialog(int result) override;
    bool PumpMessages() override;
    void Beep() override;
    int RunModal(const std::function<void()>& initDialog) override;

private:
    void CreateControls(const DlgTemplate& dlg);
    wxWindow* CreateControl(const DlgControl& ctl);
    void MoveFocusFrom(wxWindow* item);
    void OnButton(wxCommandEvent& event);
    void OnPortChoice(wxCommandEvent& event);
    void OnPathEnter(wxCommandEvent& event);
    void OnTimerTick(wxTimerEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnCloseBox(wxCloseEvent& event);

    CFlashDlg* m_pLogic = nullptr;
    wxChoice* m_pPort = nullptr;
    wxGauge* m_pProgress = nullptr;
    std::map<int, std::unique_ptr<wxTimer>> m_timers;
    // The last text set into each edit field, and how the field showed it:
    // a path that is not UTF-8 reads back as it was given while untouched.
    std::map<int, std::pair<std::string, wxString>> m_editTexts;
    bool m_bEnded = false;
    int m_nResult = 0;
};
