#pragma once
#include <ctime>

// The broken-down UTC time of t, safe to call from any thread; false when
// t cannot be broken down.
bool UtcTime(std::time_t t, std::tm& utc);
