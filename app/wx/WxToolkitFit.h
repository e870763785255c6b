#pragma once
#include <string>

class wxTopLevelWindow;

// Where a toolkit's controls need fitting to what the dialog expects of a
// desktop dialog. One implementation per toolkit, chosen by CMake.

// Fits the toolkit's own control look to the dialog's small, fixed layout:
// some themes pad buttons and fields beyond the sizes the template gives.
// Call before the controls are created. progressHeight is the progress bar's
// height in pixels, which the bar should fill.
void FitToolkitStyle(wxTopLevelWindow& window, int progressHeight);

// The file dialog's pattern as the toolkit should be given it, so that it
// matches names in any letter case ("*.hex" also shows PROG.HEX).
std::string FileDialogPattern(const std::string& pattern);
