// fernbow: the dialog program, shown with wxWidgets.
#include "DialogTemplate.h"
#include "FlashApp.h"
#include "FlashDlg.h"
#include "WxFlashView.h"
#include <wx/app.h>
#include <memory>

namespace {

class CWxViewFactory : public IDialogViewFactory {
public:
    std::unique_ptr<IDialogView> CreateView(CFlashDlg& dlg) override {
        auto view = std::make_unique<CWxFlashView>(FlashDialogTemplate());
        view->SetLogic(&dlg);
        return view;
    }
};

class CFernbowWxApp : public wxApp {
public:
    // The program takes no command line, so wxApp's parser is not run.
    bool OnInit() override { return true; }

    // The dialog runs its own modal loop; when it has ended the program ends.
    int OnRun() override {
        // argv[] hands out copies; keep one alive while its bytes are read.
        const wxString self = argv[0];
        CWxViewFactory views;
        CFlashApp app(AppNameFromPath(self.utf8_string()));
        return app.InitInstance(views);
    }
};

}  // namespace

wxIMPLEMENT_APP(CFernbowWxApp);
