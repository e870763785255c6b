#pragma once
#include "DialogTemplate.h"
#include "DialogView.h"
#include <windows.h>
#include <shellapi.h>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CFlashDlg;

// The main dialog as a native Win32 dialog, made from the dialog template's
// bytes (res/DlgTemplateBytes.h) by DialogBoxIndirectParamW. It hands every
// user event to CFlashDlg and carries out what CFlashDlg asks of it; the
// behaviour itself lives in CFlashDlg.
class CWin32FlashView final : public IDialogView {
public:
    CWin32FlashView(HINSTANCE instance, const DlgTemplate& dlg, CFlashDlg& logic);
    CWin32FlashView(const CWin32FlashView&) = delete;
    CWin32FlashView& operator=(const CWin32FlashView&) = delete;

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
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnDropFiles(HDROP drop);
    void OnCommand(int id, int code);
    bool PaintIconic();
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }

    HINSTANCE m_hInstance;
    CFlashDlg& m_logic;
    std::vector<uint8_t> m_template;
    HICON m_hIcon = nullptr;
    HWND m_hWnd = nullptr;
    HWND m_hToolTip = nullptr;
    std::wstring m_toolTipText;
    std::function<void()> m_initDialog;
    // The last text set into each control, and how it showed it: a text
    // that is not UTF-8 reads back as it was given while untouched.
    std::map<int, std::pair<std::string, std::wstring>> m_setTexts;
    bool m_bEnded = false;
};
