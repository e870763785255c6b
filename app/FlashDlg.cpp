#include "FlashDlg.h"
#include "resource.h"
#include "ChipMismatch.h"
#include "ComPortMap.h"
#include "FlashRun.h"

#include <cctype>
#include <filesystem>
#include <system_error>
#include <utility>

namespace {

const char kPortMissing[] = "Last selected comport not available! Please select com port.";
const char kMustBeHex[] = "Must be HEX file!";
const char kHexFilterLabel[] = "hex files (*.hex)";
const char kHexPattern[] = "*.hex";
constexpr int kBaudRate = 19200;
constexpr int kTickPeriodMs = 20;
constexpr int kEndOk = 1;
constexpr int kEndCancel = 2;

// The number of an item text "COMn"; 0 for none (nothing selected).
int PortNumberFromText(const std::string& text)
{
    int n = 0;
    return ParseComPortName(text, n) ? n : 0;
}

std::string LowerAscii(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

CFlashDlg::CFlashDlg(CRegistryStore& store, IComPorts& ports, std::string appName)
    : m_store(store), m_ports(ports), m_strAppName(std::move(appName))
{
}

bool CFlashDlg::OnInitDialog()
{
    m_pView->SetItemText(IDC_FILE_PATH, m_strEditPath);
    m_nBaudRate = kBaudRate;
    m_nComPort = ReadRegInt(kComNrSetting);
    ReadRegString(kFileNameSetting, m_strFileName);
    m_strEditPath = m_strFileName;
    FillPortList();
    m_pView->SetItemText(IDC_FILE_PATH, m_strEditPath);
    m_pView->StartTimer(kTickTimerId, kTickPeriodMs);
    return true;
}

void CFlashDlg::FillPortList()
{
    int remembered = -1;
    int count = 0;
    m_pView->ResetPortList();
    for (int n = kFirstComPort; n <= kLastComPort; ++n) {
        if (!m_ports.Probe(n)) continue;
        m_pView->AddPortItem(ComPortName(n));
        if (n == m_nComPort) remembered = count;
        ++count;
    }

    if (remembered < 0) {
        // Shown while the window is still hidden, so it comes first.
        m_pView->SetPortSelection(-1);
        m_pView->ShowMessageBox(kPortMissing, m_strAppName, MessageIcon::None);
    } else {
        m_pView->SetPortSelection(remembered);
        // Not being able to open it now is learnt at "&Write Flash".
        if (!m_pSerial->IsOpen()) m_pSerial->Open();
    }
    UpdatePortToolTip();
}

void CFlashDlg::OnSelchangePort()
{
    if (m_bRunning) {
        // The list is disabled during a run; a change that slips through must
        // not close the port in use, so the list goes back to that port.
        const std::string current = ComPortName(m_nComPort);
        int index = -1;
        for (int i = 0;; ++i) {
            const std::string text = m_pView->GetPortItemText(i);
            if (text.empty()) break;
            if (text == current) {
                index = i;
                break;
            }
        }
        m_pView->SetPortSelection(index);
        return;
    }

    if (m_pSerial->IsOpen()) m_pSerial->Close();
    const std::string text = m_pView->GetPortItemText(m_pView->GetPortSelection());
    if (text.empty()) {
        UpdatePortToolTip();
        return;
    }
    m_nComPort = PortNumberFromText(text);
    m_pSerial->Open();
    WriteRegInt(kComNrSetting, m_nComPort);
    UpdatePortToolTip();
}

void CFlashDlg::UpdatePortToolTip()
{
    const std::string text = m_pView->GetPortItemText(m_pView->GetPortSelection());
    m_pView->SetPortToolTip(text.empty() ? std::string() : m_ports.DeviceFor(PortNumberFromText(text)));
}

void CFlashDlg::OnBrowse()
{
    if (m_bRunning) return;  // the run is reading m_strFileName's file

    // A cancelled choice leaves the file the field shows, which is the one
    // "&Write Flash" writes.
    std::string fullPath;
    std::string bareName;
    if (!m_pView->ChooseFile(kHexFilterLabel, kHexPattern, fullPath, bareName) || fullPath.empty())
        return;

    TakeFile(fullPath, bareName);
}

void CFlashDlg::OnDropFile(const std::string& fullPath)
{
    if (m_bRunning || fullPath.empty()) return;  // as for ". . .": the run reads the file
    // The same steps as a file chosen with ". . .", remembered the same way.
    TakeFile(fullPath, std::filesystem::u8path(fullPath).filename().u8string());
}

bool CFlashDlg::TakeTypedPath(const std::string& text)
{
    // Blanks around a pasted path, and the quotes a copied Windows path
    // comes in, are no part of the name.
    const size_t first = text.find_first_not_of(" \t");
    std::string typed = first == std::string::npos ? std::string() : text.substr(first);
    typed.erase(typed.find_last_not_of(" \t") + 1);
    if (typed.size() >= 2 && typed.front() == '"' && typed.back() == '"') typed = typed.substr(1, typed.size() - 2);
    if (typed.empty()) {
        // Nothing to write: "&Write Flash" says "Can't open file".
        m_strPathName.clear();
        m_strFileName.clear();
        m_strEditPath = text;
        return true;
    }
    // Remembered and shown in full, as a chosen file is.
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(std::filesystem::u8path(typed), error);
    if (error) path = std::filesystem::u8path(typed);
    return TakeFile(path.u8string(), path.filename().u8string());
}

bool CFlashDlg::TakeFile(const std::string& fullPath, const std::string& bareName)
{
    const size_t dot = bareName.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot != 0;
    if (hasExtension && LowerAscii(bareName.substr(dot + 1)) != "hex") {
        MessageBoxExclamation(kMustBeHex);
        return false;
    }

    m_strPathName = fullPath;
    m_strFileName = bareName;
    // "&Write Flash" opens the bare name, which must find the chosen file:
    // make its folder current. Where that folder cannot be entered (it need
    // not exist), the full path is kept instead so that no file of the same
    // name in another folder is taken by mistake.
    std::error_code error;
    // u8path: our texts are UTF-8, which a Windows path(std::string) would
    // read in the ANSI code page.
    const std::filesystem::path folder = std::filesystem::u8path(fullPath).parent_path();
    if (!folder.empty()) std::filesystem::current_path(folder, error);
    if (folder.empty() || error) m_strFileName = fullPath;

    // The field shows what "&Write Flash" writes. A name without an
    // extension is written but, as ever, not remembered.
    m_strEditPath = m_strPathName;
    m_pView->SetItemText(IDC_FILE_PATH, m_strEditPath);
    if (hasExtension) WriteRegString(kFileNameSetting, m_strPathName);
    return true;
}

void CFlashDlg::OnWriteFlash()
{
    if (m_bRunning) return;  // a second press while the first run waits

    // What the field shows is what is written: a path typed or pasted there
    // is taken now, as if chosen with ". . .".
    const std::string shown = m_pView->GetItemText(IDC_FILE_PATH);
    if (shown != m_strEditPath && !TakeTypedPath(shown)) return;

    const FlashRunResult result = CFlashRun(*m_pSerial, *m_pWriter).Run(m_strFileName, [this] {
        m_bRunning = true;
        EnableCommands(false);
    });
    m_bRunning = false;

    if (m_bCloseRequested) {
        // The window was closed while the run waited: end now, as the idle
        // close would have.
        m_pView->EndDialog(kEndCancel);
        return;
    }
    if (result.stop == FlashRunResult::Stop::Ran) EnableCommands(true);
    if (const char* text = RunFailureText(result)) MessageBoxExclamation(text);
    // Told once the run is over, so that it never holds the run up.
    const std::string warning = ResetCodeWarning(m_pWriter->LastResetCode());
    if (!warning.empty()) MessageBoxExclamation(warning);
}

void CFlashDlg::OnTimer(int id)
{
    if (id != kTickTimerId) return;
    if (m_nCountdown > 0)
        --m_nCountdown;
    else
        m_nCountdown = 0;
}

void CFlashDlg::OnOK()
{
    if (m_bRunning) {
        m_bCloseRequested = true;
        return;
    }
    m_pView->EndDialog(kEndOk);
}

void CFlashDlg::OnCancel()
{
    if (m_bRunning) {
        m_bCloseRequested = true;
        return;
    }
    m_pView->EndDialog(kEndCancel);
}

void CFlashDlg::EnableCommands(bool enable)
{
    m_pView->EnableItem(IDC_WRITE_FLASH, enable);
    m_pView->EnableItem(IDC_BROWSE, enable);
    m_pView->EnableItem(IDC_PORT, enable);
}

void CFlashDlg::MessageBoxExclamation(const std::string& text)
{
    m_pView->ShowMessageBox(text, m_strAppName, MessageIcon::Exclamation);
}

int32_t CFlashDlg::ReadRegInt(const std::string& name) const { return m_store.ReadRegInt(name); }

void CFlashDlg::ReadRegString(const std::string& name, std::string& value) const
{
    m_store.ReadRegString(name, value);
}

void CFlashDlg::WriteRegInt(const std::string& name, int32_t value) const { m_store.WriteRegInt(name, value); }

void CFlashDlg::WriteRegString(const std::string& name, const std::string& value) const
{
    m_store.WriteRegString(name, value);
}

void CFlashDlg::SetStatus(const std::string& text) { m_pView->SetItemText(IDC_STATUS, text); }

void CFlashDlg::SetProgressPos(int pos) { m_pView->SetProgressPos(pos); }

bool CFlashDlg::PumpMessages()
{
    if (m_bCloseRequested) return false;
    const bool alive = m_pView->PumpMessages();
    if (!alive) m_bCloseRequested = true;
    return !m_bCloseRequested;
}

void CFlashDlg::ShowMessageBox(const std::string& text, const std::string& caption)
{
    m_pView->ShowMessageBox(text, caption, MessageIcon::None);
}

bool CFlashDlg::OnHexLoaded(const HexLoadReport& report)
{
    // Before anything is sent; OK goes on with the records as they stand.
    if (report.HasFaults()) MessageBoxExclamation(BadRecordsWarning(report));
    return true;
}

bool CFlashDlg::OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target)
{
    // As for bad records: before anything is sent, and OK goes on.
    std::string text = WrongChipText(builtFor, target);
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    MessageBoxExclamation(text);
    return true;
}

void CFlashDlg::Beep() { m_pView->Beep(); }
