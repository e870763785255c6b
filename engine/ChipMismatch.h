#pragma once
#include "ChipTable.h"
#include "HexLoadReport.h"
#include <string>

// The chip a file shows it was built for, where it shows one: a CONFIG2 word
// (0x2008) exists only on the PIC16F88. nullptr when the file does not tell.
const ChipInfo* ChipBuiltFor(const HexLoadReport& report);

// What a front end says when the target is another chip than the one the
// file was built for, e.g. "the file was built for the PIC16F88 (...), but
// the target is a PIC16F819".
std::string WrongChipText(const ChipInfo& builtFor, const ChipInfo& target);
