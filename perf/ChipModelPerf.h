#pragma once
#include <string>

// The figures of a run through Fernbow's own firmware on the chip model
// (fernbow-sim --chip-model), both chips: --read of the chip, a full image
// written, the same image again with one row changed, --verify of it; each
// from the chip's answer to the end, as fernbow-cli reports it. false when
// a run failed; true (with a note) when the chip model cannot start here.
bool ChipModelFigures(const std::string& folder);
