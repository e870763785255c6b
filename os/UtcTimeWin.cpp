#include "UtcTime.h"

bool UtcTime(std::time_t t, std::tm& utc)
{
    return gmtime_s(&utc, &t) == 0;
}
