#include "WxToolkitFit.h"

// Toolkits whose native controls already fit a compact dialog, and whose
// file dialogs ignore letter case, need nothing.
void FitToolkitStyle(wxTopLevelWindow&, int) {}

std::string FileDialogPattern(const std::string& pattern) { return pattern; }
