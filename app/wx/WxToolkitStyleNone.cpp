#include "WxToolkitStyle.h"

// Toolkits whose native controls already fit a compact dialog need nothing.
void FitToolkitStyle(wxTopLevelWindow&, int) {}
