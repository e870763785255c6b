#pragma once
#include "ComPorts.h"
#include "DialogView.h"
#include "SerialLink.h"
#include "SerialPort.h"
#include "RegistryStore.h"
#include <functional>
#include <memory>
#include <string>

class CFlashDlg;

// Builds a toolkit's view around a dialog. The view forwards its events to
// dlg (see DialogView.h) and is not shown until RunModal. nullptr when the
// toolkit cannot make one.
class IDialogViewFactory {
public:
    virtual ~IDialogViewFactory() = default;
    virtual std::unique_ptr<IDialogView> CreateView(CFlashDlg& dlg) = 0;
};

// The program's start-up, independent of the toolkit. A toolkit's main
// does no more than:
//
//     MyViewFactory views;                       // e.g. creates a wx dialog
//     CFlashApp app(AppNameFromPath(argv[0]));
//     return app.InitInstance(views);
//
// InitInstance then, in this order:
//   1. constructs the dialog (CFlashDlg), the serial port built on its line
//      settings, and the engine hosted by the dialog, and sets g_pFlashDlg;
//   2. asks the factory for the view;
//   3. calls IDialogView::RunModal, which has CFlashDlg::OnInitDialog run
//      as soon as the controls exist: this fills them, may show the
//      "Last selected comport not available! ..." box (the main window is
//      still hidden, so the box comes first), and starts timer 4 (20 ms)
//      through IDialogView::StartTimer. The view then shows the window and
//      runs the event loop until CFlashDlg calls EndDialog;
//   4. closes the port if it is open and returns the exit status: 0, or 1
//      when the toolkit could not make the window.
// Closing the window during a run ends the run at its next pump; the dialog
// then ends and the same path 4 follows.
class CFlashApp {
public:
    using SerialFactory = std::function<std::unique_ptr<ISerialLink>(CLineSettings&)>;

    explicit CFlashApp(std::string appName);

    // Replaceable parts; by default the real serial port, the machine's
    // ports and the settings under ConfigHome().
    void SetSerialFactory(SerialFactory factory) { m_makeSerial = std::move(factory); }
    void SetComPorts(IComPorts& ports) { m_pPorts = &ports; }
    void SetStore(CRegistryStore store) { m_store = std::move(store); }

    // Runs the program as above; returns the process exit status.
    int InitInstance(IDialogViewFactory& views);

    const std::string& AppName() const { return m_strAppName; }

private:
    std::string m_strAppName;
    SerialFactory m_makeSerial;
    IComPorts* m_pPorts = nullptr;
    CRegistryStore m_store;
};

// The running dialog, set before its window is shown; null otherwise.
extern CFlashDlg* g_pFlashDlg;

// The application's name as message boxes show it: the executable's file
// name without folder and extension ("/usr/bin/fernbow" -> "fernbow").
std::string AppNameFromPath(const std::string& path);
