#include "UtcTime.h"

bool UtcTime(std::time_t t, std::tm& utc)
{
    return gmtime_r(&t, &utc) != nullptr;
}
