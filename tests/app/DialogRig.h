#pragma once
#include "FlashDlg.h"
#include "ScriptedLink.h"
#include "TempFolder.h"
#include "../../res/resource.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// A view that records what the dialog asks of it. Every pump is one 20 ms
// tick of timer 4, so waits cost no real time.
class FakeView : public IDialogView {
public:
    struct Box {
        std::string text, title;
        MessageIcon icon;
    };
    struct FileChoice {
        bool ok;
        std::string fullPath, bareName;
    };

    ~FakeView() override
    {
        if (onDestroy) onDestroy(*this);
    }
    void SetItemText(int id, const std::string& text) override { texts[id] = text; }
    std::string GetItemText(int id) const override { return Text(id); }
    void EnableItem(int id, bool enable) override { enabled[id] = enable; }
    void ResetPortList() override { items.clear(); }
    void AddPortItem(const std::string& text) override { items.push_back(text); }
    void SetPortSelection(int index) override { selection = index; }
    int GetPortSelection() const override { return selection; }
    std::string GetPortItemText(int index) const override
    {
        return index >= 0 && index < static_cast<int>(items.size()) ? items[index] : std::string();
    }
    void SetPortToolTip(const std::string& text) override { toolTip = text; }
    void SetProgressPos(int pos) override { progress = pos; }
    void ShowMessageBox(const std::string& text, const std::string& title, MessageIcon icon) override
    {
        boxes.push_back({text, title, icon});
        events.push_back("box");
        if (onBox) onBox();
    }
    bool ChooseFile(const std::string& label, const std::string& pattern, std::string& fullPath,
                    std::string& bareName) override
    {
        filter = label + "|" + pattern;
        ++fileDialogs;
        if (choices.empty()) return false;
        const FileChoice choice = choices.front();
        choices.pop_front();
        fullPath = choice.fullPath;
        bareName = choice.bareName;
        return choice.ok;
    }
    void StartTimer(int id, int periodMs) override { timers.emplace_back(id, periodMs); }
    void EndDialog(int result) override
    {
        ended = true;
        endResult = result;
        events.push_back("end");
    }
    bool PumpMessages() override
    {
        ++tick;
        if (dlg) dlg->OnTimer(CFlashDlg::kTickTimerId);
        if (onPump) onPump(tick);
        return alive;
    }
    void Beep() override { ++beeps; }
    int RunModal(const std::function<void()>& initDialog) override
    {
        initDialog();
        events.push_back("shown");
        if (whileShown) whileShown();
        return endResult;
    }

    std::string Text(int id) const
    {
        const auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    bool Enabled(int id) const
    {
        const auto it = enabled.find(id);
        return it == enabled.end() || it->second;
    }

    CFlashDlg* dlg = nullptr;
    int tick = 0;
    bool alive = true;
    std::function<void(int)> onPump;
    std::function<void()> whileShown;
    std::function<void()> onBox;
    std::function<void(const FakeView&)> onDestroy;
    std::map<int, std::string> texts;
    std::map<int, bool> enabled;
    std::vector<std::string> items;
    int selection = -1;
    std::string toolTip;
    int progress = 0;
    std::vector<Box> boxes;
    std::deque<FileChoice> choices;
    std::string filter;
    int fileDialogs = 0;
    std::vector<std::pair<int, int>> timers;
    std::vector<std::string> events;
    bool ended = false;
    int endResult = 0;
    int beeps = 0;
};

// Ports that exist and are free: those listed in present.
class FakePorts : public IComPorts {
public:
    bool Probe(int n) override
    {
        probed.push_back(n);
        return present.count(n) != 0;
    }
    std::string DeviceFor(int n) override { return "/dev/fake" + std::to_string(n); }

    std::set<int> present;
    std::vector<int> probed;
};

// A scripted line that starts closed, may refuse to open, and counts.
class DialogLink : public ScriptedLink {
public:
    explicit DialogLink(const int& tick) : ScriptedLink(tick) { open = false; }
    int Open() override
    {
        ++opens;
        if (open) return 1;
        return canOpen ? ScriptedLink::Open() : 0;
    }
    int Close() override
    {
        if (open) {
            ++closes;
            if (closeCount) ++*closeCount;
        }
        return ScriptedLink::Close();
    }

    bool canOpen = true;
    int opens = 0;
    int closes = 0;
    int* closeCount = nullptr;  // also counted here, for links the test does not own
};

// The dialog with a fake view, fake ports, a scripted line, the real engine
// and a settings hive in a temporary folder.
struct DialogRig {
    DialogRig()
    {
        view.dlg = &dlg;
        dlg.AttachView(view);
        dlg.AttachEngine(link, writer);
    }
    ~DialogRig()
    {
        std::error_code ignored;
        std::filesystem::current_path(startFolder, ignored);
    }

    std::string Stored(const std::string& name)
    {
        std::string text;
        store.ReadRegString(name, text);
        return text;
    }
    std::string WriteFile(const std::string& name, const std::string& content);

    std::filesystem::path startFolder = std::filesystem::current_path();
    TempFolder hive;
    TempFolder files;
    CRegistryStore store{hive.Path()};
    FakePorts ports;
    FakeView view;
    CFlashDlg dlg{store, ports, "fernbow"};
    DialogLink link{view.tick};
    CFlashWriter writer{link, dlg};
};

inline std::string DialogRig::WriteFile(const std::string& name, const std::string& content)
{
    const std::string path = files.Path() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    return path;
}

// Two data records in block 0 and an end record.
constexpr const char kSmallHex[] =
    ":100000008A110A128C2A0000000000000000000083\n"
    ":020010000034BA\n"
    ":00000001FF\n";
