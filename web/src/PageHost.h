#pragma once
#include "FlashHost.h"

#include <cstdint>

// The page as the engine's host: status line, progress bar and boxes are
// the page script's (Module.page); the tick countdown runs on the clock, and
// pumping hands the browser its turn.
class PageHost : public IFlashHost {
public:
    void SetStatus(const std::string& text) override;
    void SetProgressPos(int pos) override;
    void SetCountdown(int ticks) override;
    int GetCountdown() const override;
    bool PumpMessages() override;
    void ShowMessageBox(const std::string& text, const std::string& caption) override;
    void Beep() override;
    bool OnHexLoaded(const HexLoadReport& report) override;
    bool OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target) override;

private:
    double m_countdownEndMs = 0;
};
