#pragma once
#include <string>

// The system's text for an errno value, safe to call from any thread
// (strerror may share one buffer between threads).
std::string ErrnoText(int error);
