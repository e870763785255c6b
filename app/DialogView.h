#pragma once
#include <functional>
#include <string>

// The few things the dialog's logic (CFlashDlg) asks of a toolkit. A view
// only creates the controls, forwards their events to CFlashDlg and carries
// out these requests; it holds no behaviour of its own. Control ids are those
// of res/resource.h.
//
// Added since the first draft: RunModal, which calls OnInitDialog when the
// toolkit has made the controls (a Win32 dialog has them only once its
// WM_INITDIALOG comes), and GetItemText, by which "&Write Flash" takes a path
// typed into the field. How a view plugs in is told in FlashApp.h.
//
// Events a view forwards to CFlashDlg:
//   "&Write Flash" clicked          -> OnWriteFlash()
//   ". . ." clicked                 -> OnBrowse()
//   port list selection by the user -> OnSelchangePort()
//   timer started by StartTimer     -> OnTimer(id)
//   Enter in the path field         -> OnOK()
//   Escape, close box, system menu  -> OnCancel()   (the view never closes
//                                      itself: CFlashDlg calls EndDialog)
enum class MessageIcon { None, Exclamation };

class IDialogView {
public:
    virtual ~IDialogView() = default;

    // Replaces a control's text (IDC_STATUS, IDC_FILE_PATH).
    virtual void SetItemText(int id, const std::string& text) = 0;
    // A control's text as it stands, what the user typed included.
    virtual std::string GetItemText(int id) const = 0;
    virtual void EnableItem(int id, bool enable) = 0;

    // The port list (IDC_PORT): unsorted, items kept in the order added.
    virtual void ResetPortList() = 0;
    virtual void AddPortItem(const std::string& text) = 0;
    // Selects the item at index; -1 selects nothing. Raises no change event.
    virtual void SetPortSelection(int index) = 0;
    // Index of the selected item, -1 when none.
    virtual int GetPortSelection() const = 0;
    // Text of the item at index, empty when there is no such item.
    virtual std::string GetPortItemText(int index) const = 0;
    virtual void SetPortToolTip(const std::string& text) = 0;

    // Progress bar, range 0..100; a larger position shows a full bar.
    virtual void SetProgressPos(int pos) = 0;

    // A modal box with an OK button.
    virtual void ShowMessageBox(const std::string& text, const std::string& title, MessageIcon icon) = 0;
    // The open-file dialog with the filter "hex files (*.hex)". true on OK,
    // with the chosen file's full path and bare name (name and extension).
    virtual bool ChooseFile(const std::string& filterLabel, const std::string& pattern,
                            std::string& fullPath, std::string& bareName) = 0;

    // Starts a periodic timer that calls CFlashDlg::OnTimer(id).
    virtual void StartTimer(int id, int periodMs) = 0;
    // Ends the dialog (Enter, Escape, close box while idle): RunModal returns
    // result once control is back in its loop.
    virtual void EndDialog(int result) = 0;
    // Dispatches pending events and returns. false once the window has been
    // closed while a run waits: the run must end. (CFlashDlg also tracks a
    // close that reached it through OnCancel, so a view may simply return
    // true here.)
    virtual bool PumpMessages() = 0;
    virtual void Beep() = 0;

    // Creates the window if it does not exist yet, calls initDialog once the
    // controls exist and before the window is visible (a box that initDialog
    // shows comes first), then shows the window and runs its modal loop until
    // EndDialog. Returns EndDialog's result, or -1 when the window could not
    // be created (the view has told the user why).
    virtual int RunModal(const std::function<void()>& initDialog) = 0;
};
