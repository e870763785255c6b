#include "Win32FlashView.h"
#include "DlgTemplateBytes.h"
#include "FlashDlg.h"
#include "Utf16Win.h"
#include "WinErrorText.h"
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

namespace {

// Room for any path Windows hands out (32767 characters and the zero).
constexpr DWORD kPathChars = 32768;

}  // namespace

CWin32FlashView::CWin32FlashView(HINSTANCE instance, const DlgTemplate& dlg, CFlashDlg& logic)
    : m_hInstance(instance),
      m_logic(logic),
      m_template(BuildDlgTemplateBytes(dlg)),
      m_hIcon(LoadIconW(instance, MAKEINTRESOURCEW(IDI_FLASH)))
{
}

int CWin32FlashView::RunModal(const std::function<void()>& initDialog)
{
    m_initDialog = initDialog;
    const INT_PTR result =
        DialogBoxIndirectParamW(m_hInstance, reinterpret_cast<LPCDLGTEMPLATEW>(m_template.data()), nullptr,
                                &CWin32FlashView::DialogProc, reinterpret_cast<LPARAM>(this));
    if (result == -1) {
        const std::string text = "The window could not be created: " + WinErrorText(GetLastError());
        MessageBoxW(nullptr, Utf8ToWide(text).c_str(), nullptr, MB_OK | MB_ICONERROR);
        return -1;
    }
    return static_cast<int>(result);
}

INT_PTR CALLBACK CWin32FlashView::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<CWin32FlashView*>(lParam)->m_hWnd = hwnd;
    }
    auto* view = reinterpret_cast<CWin32FlashView*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return view != nullptr ? view->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CWin32FlashView::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_DROPFILES) {
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;  // the focus goes to the first tab stop, the path field
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_TIMER:
        m_logic.OnTimer(static_cast<int>(wParam));
        return TRUE;
    case WM_PAINT:
        return PaintIconic() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(m_hIcon);
    default:
        return FALSE;
    }
}

void CWin32FlashView::OnInitDialog()
{
    // The big icon only: the caption and the task bar scale it down.
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));

    m_hToolTip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, m_hInstance,
                                 nullptr);
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(IDC_PORT));
    tool.lpszText = const_cast<wchar_t*>(m_toolTipText.c_str());
    if (m_hToolTip) SendMessageW(m_hToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

    // A .hex file dropped onto the window is taken as if chosen with ". . .".
    DragAcceptFiles(m_hWnd, TRUE);

    // The window is still hidden: a box shown now comes before it.
    m_initDialog();
}

void CWin32FlashView::OnDropFiles(HDROP drop)
{
    // The first file only; its name in UTF-16, whatever the ANSI code page.
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring path(length, L'\0');
    if (length > 0 && DragQueryFileW(drop, 0, &path[0], length + 1) == length) {
        DragFinish(drop);
        m_logic.OnDropFile(WideToUtf8(path));
        return;
    }
    DragFinish(drop);
}

void CWin32FlashView::OnCommand(int id, int code)
{
    switch (id) {
    case IDC_WRITE_FLASH:
        if (code == BN_CLICKED) m_logic.OnWriteFlash();
        break;
    case IDC_BROWSE:
        if (code == BN_CLICKED) m_logic.OnBrowse();
        break;
    case IDC_PORT:
        if (code == CBN_SELCHANGE) m_logic.OnSelchangePort();
        break;
    case IDOK:  // Enter, unless a push button has the focus
        m_logic.OnOK();
        break;
    case IDCANCEL:  // Escape, the close box, the system menu's Close
        m_logic.OnCancel();
        break;
    default:
        break;
    }
}

bool CWin32FlashView::PaintIconic()
{
    if (!IsIconic(m_hWnd)) return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

// --- requests from CFlashDlg ---------------------------------------------

void CWin32FlashView::SetItemText(int id, const std::string& text)
{
    const std::wstring shown = Utf8ToWide(text);
    SetDlgItemTextW(m_hWnd, id, shown.c_str());
    m_setTexts[id] = {text, shown};
}

std::string CWin32FlashView::GetItemText(int id) const
{
    HWND item = Item(id);
    if (!item) return std::string();
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(item, &text[0], static_cast<int>(text.size()))));
    const auto set = m_setTexts.find(id);
    if (set != m_setTexts.end() && set->second.second == text) return set->second.first;
    return WideToUtf8(text);
}

void CWin32FlashView::EnableItem(int id, bool enable)
{
    HWND item = Item(id);
    if (!item) return;
    // A disabled control keeps the focus it had, and then the keyboard
    // reaches nothing: move it on to the next tab stop first.
    if (!enable && GetFocus() == item) SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(item, enable);
}

void CWin32FlashView::ResetPortList() { SendDlgItemMessageW(m_hWnd, IDC_PORT, CB_RESETCONTENT, 0, 0); }

void CWin32FlashView::AddPortItem(const std::string& text)
{
    SendDlgItemMessageW(m_hWnd, IDC_PORT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(text).c_str()));
}

void CWin32FlashView::SetPortSelection(int index)
{
    SendDlgItemMessageW(m_hWnd, IDC_PORT, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int CWin32FlashView::GetPortSelection() const
{
    const LRESULT index = SendDlgItemMessageW(m_hWnd, IDC_PORT, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

std::string CWin32FlashView::GetPortItemText(int index) const
{
    if (index < 0) return std::string();
    const LRESULT length = SendDlgItemMessageW(m_hWnd, IDC_PORT, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return std::string();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendDlgItemMessageW(m_hWnd, IDC_PORT, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    if (copied == CB_ERR) return std::string();
    text.resize(static_cast<size_t>(copied));
    return WideToUtf8(text);
}

void CWin32FlashView::SetPortToolTip(const std::string& text)
{
    if (!m_hToolTip) return;
    m_toolTipText = Utf8ToWide(text);
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(IDC_PORT));
    tool.lpszText = const_cast<wchar_t*>(m_toolTipText.c_str());
    SendMessageW(m_hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CWin32FlashView::SetProgressPos(int pos)
{
    // The bar keeps its position within its range (0..100) by itself.
    SendDlgItemMessageW(m_hWnd, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

void CWin32FlashView::ShowMessageBox(const std::string& text, const std::string& title, MessageIcon icon)
{
    const UINT type = MB_OK | (icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION : 0);
    MessageBoxW(m_hWnd, Utf8ToWide(text).c_str(), Utf8ToWide(title).c_str(), type);
}

bool CWin32FlashView::ChooseFile(const std::string& filterLabel, const std::string& pattern,
                                 std::string& fullPath, std::string& bareName)
{
    // "label\0pattern\0", and c_str() adds the zero that ends the list.
    std::wstring filter = Utf8ToWide(filterLabel);
    filter.push_back(L'\0');
    filter += Utf8ToWide(pattern);
    filter.push_back(L'\0');
    std::wstring path(kPathChars, L'\0');
    std::wstring name(kPathChars, L'\0');

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = &path[0];
    ofn.nMaxFile = kPathChars;
    ofn.lpstrFileTitle = &name[0];
    ofn.nMaxFileTitle = kPathChars;
    // Nothing asked beyond the Explorer look: the read-only box shows, the
    // named file and its folder need not exist, no extension is added, and
    // the chosen file's folder becomes the current directory.
    ofn.Flags = OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn)) return false;  // cancelled, or the dialog failed
    fullPath = WideToUtf8(path.c_str());
    bareName = WideToUtf8(name.c_str());
    return true;
}

void CWin32FlashView::StartTimer(int id, int periodMs)
{
    SetTimer(m_hWnd, static_cast<UINT_PTR>(id), static_cast<UINT>(periodMs), nullptr);
}

void CWin32FlashView::EndDialog(int result)
{
    m_bEnded = true;
    if (m_hWnd) ::EndDialog(m_hWnd, result);
}

bool CWin32FlashView::PumpMessages()
{
    MSG msg;
    while (!m_bEnded && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Someone wants the program to end: stop the run, and leave the
            // request for the loop that owns it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (!IsDialogMessageW(m_hWnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return !m_bEnded;
}

void CWin32FlashView::Beep() { MessageBeep(MB_OK); }
