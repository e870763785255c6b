#pragma once
#include <string>

// The system's own message for a GetLastError() code, in UTF-8 without the
// trailing line break; "error N" when the system has none.
std::string WinErrorText(unsigned long error);
