#include "FlashApp.h"
#include "FlashDlg.h"
#include "FlashWriter.h"

#include <filesystem>
#include <utility>

CFlashDlg* g_pFlashDlg = nullptr;

namespace {

// Clears g_pFlashDlg however InitInstance is left.
struct DialogPointerScope {
    explicit DialogPointerScope(CFlashDlg& dlg) { g_pFlashDlg = &dlg; }
    ~DialogPointerScope() { g_pFlashDlg = nullptr; }
    DialogPointerScope(const DialogPointerScope&) = delete;
    DialogPointerScope& operator=(const DialogPointerScope&) = delete;
};

}  // namespace

CFlashApp::CFlashApp(std::string appName) : m_strAppName(std::move(appName)) {}

int CFlashApp::InitInstance(IDialogViewFactory& views)
{
    SystemComPorts systemPorts;
    IComPorts& ports = m_pPorts != nullptr ? *m_pPorts : systemPorts;

    CFlashDlg dlg(m_store, ports, m_strAppName);
    std::unique_ptr<ISerialLink> serial =
        m_makeSerial ? m_makeSerial(dlg) : std::make_unique<CSerialPort>(dlg);
    CFlashWriter writer(*serial, dlg);
    FlashRunOptions run;
    run.maxBaud = m_store.ReadRegInt(kMaxBaudSetting);
    writer.SetRunOptions(run);
    dlg.AttachEngine(*serial, writer);
    DialogPointerScope pointer(dlg);

    std::unique_ptr<IDialogView> view = views.CreateView(dlg);
    if (!view) return 1;  // the toolkit could not build its window
    dlg.AttachView(*view);

    const int result = view->RunModal([&dlg] { dlg.OnInitDialog(); });

    if (serial->IsOpen()) serial->Close();
    return result < 0 ? 1 : 0;
}

std::string AppNameFromPath(const std::string& path)
{
    const std::string stem = std::filesystem::u8path(path).stem().u8string();
    return stem.empty() ? std::string("fernbow") : stem;
}
