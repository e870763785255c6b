// The module types this library gives gpsim ("module library PATH").
#include "FlashSelfWrite.h"
#include "LineUart.h"

extern "C" {
Module_Types* get_mod_list();
}

namespace {
Module_Types g_types[] = {
    {{"fernbow_flash", "fernbow_flash"}, FlashSelfWrite::Construct},
    {{"fernbow_uart", "fernbow_uart"}, LineUart::Construct},
    {{nullptr, nullptr}, nullptr},
};
}  // namespace

Module_Types* get_mod_list() { return g_types; }
