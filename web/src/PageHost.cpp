#include "PageHost.h"

#include "ChipMismatch.h"

#include <cctype>
#include <cmath>
#include <emscripten.h>

namespace {
EM_JS(void, page_status, (const char* text), { Module.page.status(UTF8ToString(text)); });
EM_JS(void, page_progress, (int pos), { Module.page.progress(pos); });
EM_JS(void, page_box, (const char* text, const char* caption), {
    Module.page.box(UTF8ToString(text), UTF8ToString(caption));
});
EM_JS(void, page_beep, (), { Module.page.beep(); });
// Lets the browser run whatever waits (port data, clicks, painting) and
// tells whether the run may go on.
EM_ASYNC_JS(int, page_pump, (), { return (await Module.page.pump()) ? 1 : 0; });
}  // namespace

void PageHost::SetStatus(const std::string& text) { page_status(text.c_str()); }

void PageHost::SetProgressPos(int pos) { page_progress(pos); }

void PageHost::SetCountdown(int ticks) { m_countdownEndMs = emscripten_get_now() + ticks * double(kTickMs); }

int PageHost::GetCountdown() const
{
    const double left = m_countdownEndMs - emscripten_get_now();
    return left > 0 ? static_cast<int>(std::ceil(left / kTickMs)) : 0;
}

bool PageHost::PumpMessages() { return page_pump() != 0; }

void PageHost::ShowMessageBox(const std::string& text, const std::string& caption)
{
    page_box(text.c_str(), caption.c_str());
}

void PageHost::Beep() { page_beep(); }

bool PageHost::OnHexLoaded(const HexLoadReport& report)
{
    // As the command line: a damaged file is never written without a word.
    if (!report.HasFaults()) return true;
    page_box(("The file was not written: " + FileFaultsText(report) + ".").c_str(), "Fernbow");
    return false;
}

bool PageHost::OnWrongChip(const ChipInfo& builtFor, const ChipInfo& target)
{
    // As the dialog: said before anything is sent, and the run goes on.
    std::string text = WrongChipText(builtFor, target);
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    page_box(text.c_str(), "Fernbow");
    return true;
}
