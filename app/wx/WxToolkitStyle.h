#pragma once

class wxTopLevelWindow;

// Fits the toolkit's own control look to the dialog's small, fixed layout:
// some themes pad buttons and fields beyond the sizes the template gives.
// Call before the controls are created. progressHeight is the progress bar's
// height in pixels, which the bar should fill.
void FitToolkitStyle(wxTopLevelWindow& window, int progressHeight);
