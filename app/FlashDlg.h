#pragma once
#include "ComPorts.h"
#include "DialogView.h"
#include "FlashHost.h"
#include "FlashWriter.h"
#include "SerialLink.h"
#include "SerialPort.h"
#include "RegistryStore.h"
#include <cstdint>
#include <string>

// The main dialog's behaviour, independent of any toolkit: port and file
// choice, the remembered settings, "&Write Flash", and the host the engine
// reports to while it runs. A toolkit view (IDialogView) shows it and
// forwards its events here.
//
// The dialog is also the line settings (m_nComPort, m_nBaudRate) the serial
// port reads when it opens.
class CFlashDlg : public CLineSettings, public IFlashHost {
public:
    static constexpr int kTickTimerId = 4;

    // appName titles the message boxes (the executable's name without its
    // extension). store and ports must outlive the dialog.
    CFlashDlg(CRegistryStore& store, IComPorts& ports, std::string appName);
    CFlashDlg(const CFlashDlg&) = delete;
    CFlashDlg& operator=(const CFlashDlg&) = delete;

    // Wiring, done once before OnInitDialog. The serial port and the engine
    // are built around the dialog (they need its line settings and its
    // host role), so they are attached afterwards rather than passed in.
    void AttachView(IDialogView& view) { m_pView = &view; }
    void AttachEngine(ISerialLink& serial, CFlashWriter& writer)
    {
        m_pSerial = &serial;
        m_pWriter = &writer;
    }

    // Handlers, called by the view.
    bool OnInitDialog();
    void OnWriteFlash();
    void OnTimer(int id);
    void OnSelchangePort();
    void OnBrowse();
    // A file dropped onto the window (the first, when several are).
    void OnDropFile(const std::string& fullPath);
    void OnOK();
    void OnCancel();

    void FillPortList();

    // The remembered settings ("ComNr", "FileName").
    int32_t ReadRegInt(const std::string& name) const;
    void ReadRegString(const std::string& name, std::string& value) const;
    void WriteRegInt(const std::string& name, int32_t value) const;
    void WriteRegString(const std::string& name, const std::string& value) const;

    // IFlashHost
    void SetStatus(const std::string& text) override;
    void SetProgressPos(int pos) override;
    void SetCountdown(int ticks) override { m_nCountdown = ticks; }
    int GetCountdown() const override { return m_nCountdown; }
    bool PumpMessages() override;
    void ShowMessageBox(const std::string& text, const std::string& caption) override;
    bool OnHexLoaded(const HexLoadReport& report) override;
    bool OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target) override;
    void Beep() override;

    // true while "&Write Flash" is running the engine.
    bool IsRunning() const { return m_bRunning; }
    // true once the window was closed during a run; the dialog ends when
    // the run has returned.
    bool CloseRequested() const { return m_bCloseRequested; }
    const std::string& AppName() const { return m_strAppName; }

    int m_nCountdown = 0;
    std::string m_strPathName;
    std::string m_strFileName;
    // What the dialog last put into the path field: the path of the file
    // "&Write Flash" writes. Text that differs from it was typed there.
    std::string m_strEditPath;

private:
    void MessageBoxExclamation(const std::string& text);
    // Takes a file chosen with ". . .", dropped or typed: the path field, the
    // remembered "FileName" and the folder the bare name is opened in. false,
    // after "Must be HEX file!", when its extension is not "hex": then
    // nothing changes, and the file the field shows stays the one written.
    bool TakeFile(const std::string& fullPath, const std::string& bareName);
    // Takes the path typed or pasted into the field as TakeFile does.
    bool TakeTypedPath(const std::string& text);
    void EnableCommands(bool enable);
    void UpdatePortToolTip();

    CRegistryStore& m_store;
    IComPorts& m_ports;
    std::string m_strAppName;
    IDialogView* m_pView = nullptr;
    ISerialLink* m_pSerial = nullptr;
    CFlashWriter* m_pWriter = nullptr;
    bool m_bRunning = false;
    bool m_bCloseRequested = false;
};
