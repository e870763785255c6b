#pragma once
#include <string>

// ${XDG_CONFIG_HOME:-$HOME/.config} on POSIX (%APPDATA% on Windows): where
// the settings hive and the COM port links live.
std::string ConfigHome();
// <ConfigHome>/Corvane/Fernbow
std::string FernbowConfigFolder();
