// fernbow.exe: the dialog program, shown as a native Win32 dialog.
#include "DialogTemplate.h"
#include "FlashApp.h"
#include "FlashDlg.h"
#include "Utf16Win.h"
#include "Win32FlashView.h"
#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>

namespace {

class CWin32ViewFactory : public IDialogViewFactory {
public:
    explicit CWin32ViewFactory(HINSTANCE instance) : m_hInstance(instance) {}
    std::unique_ptr<IDialogView> CreateView(CFlashDlg& dlg) override
    {
        return std::make_unique<CWin32FlashView>(m_hInstance, FlashDialogTemplate(), dlg);
    }

private:
    HINSTANCE m_hInstance;
};

// The executable's own path, however long.
std::string ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            return WideToUtf8(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // The progress bar and the port list's tool tip are common controls.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    CWin32ViewFactory views(instance);
    CFlashApp app(AppNameFromPath(ModulePath()));
    return app.InitInstance(views);
}
