#pragma once
#include "DialogTemplate.h"
#include <cstdint>
#include <vector>

// The dialog template in the form Windows reads from memory: a DLGTEMPLATE
// (styles, control count, rectangle, no menu, the standard dialog class,
// caption, font) followed by one DLGITEMTEMPLATE per control, each aligned
// on a DWORD (styles, rectangle, id, class, text, no creation data).
// Numbers are little-endian, texts UTF-16 with a terminating zero; the
// standard control classes are given as atoms, the progress bar by its class
// name. It is written without <windows.h> so that the layout is checked on
// every platform.
//
// The first byte is at data(), which new[] aligns far beyond the DWORD
// DialogBoxIndirectParam asks for.
std::vector<uint8_t> BuildDlgTemplateBytes(const DlgTemplate& dlg);
