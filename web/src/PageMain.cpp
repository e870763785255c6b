// The engine's entry for the page: one press of "Write Flash".
#include "FlashWriter.h"
#include "PageHost.h"
#include "PageLink.h"

#include <emscripten.h>
#include <string>

namespace {
// What the last run placed below the bootloader's entry, when the program
// will not start: told once the run is over, as the dialog does.
std::string lastResetWarning;
}  // namespace

extern "C" {

// Writes size bytes of HEX text to the target through the page's port.
// Returns how the run ended (a FlashOutcome), or -1 when the port did not open.
EMSCRIPTEN_KEEPALIVE int fernbow_write(const char* hex, int size)
{
    PageLink link;
    PageHost host;
    lastResetWarning.clear();
    if (!link.Open()) return -1;
    CFlashWriter writer(link, host);
    MemorySource source(hex, static_cast<size_t>(size));
    writer.LoadAndProgram(source);
    link.Close();
    lastResetWarning = ResetCodeWarning(writer.LastResetCode());
    return static_cast<int>(writer.LastOutcome());
}

// What the page shows in a box when the status line has not said it; ""
// when it has.
EMSCRIPTEN_KEEPALIVE const char* fernbow_failure_text(int outcome)
{
    const char* text = DescribeOutcome(static_cast<FlashOutcome>(outcome)).failureText;
    return text ? text : "";
}

// The last run's warning about the program's reset code, or "".
EMSCRIPTEN_KEEPALIVE const char* fernbow_reset_warning() { return lastResetWarning.c_str(); }

EMSCRIPTEN_KEEPALIVE const char* fernbow_outcome_word(int outcome)
{
    return DescribeOutcome(static_cast<FlashOutcome>(outcome)).word;
}
}
