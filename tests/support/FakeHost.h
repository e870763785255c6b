#pragma once
#include "FlashHost.h"
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A host whose clock is fake: every pump is one 20 ms tick, so a 150-tick
// wait costs no real time.
class FakeHost : public IFlashHost {
public:
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void SetProgressPos(int pos) override { progress.push_back(pos); }
    void SetCountdown(int ticks) override { countdown = ticks; }
    int GetCountdown() const override { return countdown; }
    bool PumpMessages() override
    {
        ++tick;
        if (countdown > 0) --countdown;
        if (onPump) onPump(tick);
        return abandonAtTick < 0 || tick < abandonAtTick;
    }
    void ShowMessageBox(const std::string& text, const std::string& caption) override
    {
        boxes.emplace_back(text, caption);
    }
    void Beep() override { ++beeps; }
    bool OnHexLoaded(const HexLoadReport& report) override
    {
        loaded = report;
        loadedCalls++;
        return !refuseFaults || !report.HasFaults();
    }
    void OnResetCode(const ResetCodeReport& report) override { resetCodes.push_back(report); }
    void OnLoaderKnown(const LoaderInfo& info, bool eepromLeftOut) override
    {
        loaders.push_back(info);
        eepromNotes += eepromLeftOut ? 1 : 0;
    }

    std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }

    int tick = 0;
    int countdown = 0;
    int abandonAtTick = -1;  // PumpMessages returns false from this tick on
    bool refuseFaults = false;  // OnHexLoaded refuses a file with faults, as fernbow-cli does
    int beeps = 0;
    int loadedCalls = 0;
    HexLoadReport loaded;
    std::function<void(int)> onPump;
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<std::pair<std::string, std::string>> boxes;
    std::vector<ResetCodeReport> resetCodes;
    std::vector<LoaderInfo> loaders;
    int eepromNotes = 0;
};
