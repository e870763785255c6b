#include "ChipMismatch.h"

const ChipInfo* ChipBuiltFor(const HexLoadReport& report)
{
    return report.setsConfig2 ? &ChipF88() : nullptr;
}

std::string WrongChipText(const ChipInfo& builtFor, const ChipInfo& target)
{
    return std::string("the file was built for the ") + builtFor.name +
           " (it sets CONFIG2 at 0x2008, which only that chip has), but the target is a " + target.name;
}
