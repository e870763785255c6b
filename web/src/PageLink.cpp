#include "PageLink.h"

#include <emscripten.h>

namespace {
constexpr int kReadWaitMs = 5;

EM_ASYNC_JS(int, link_open, (), { return (await Module.link.open()) ? 1 : 0; });
EM_JS(int, link_close, (), { return Module.link.close() ? 1 : 0; });
EM_JS(int, link_is_open, (), { return Module.link.isOpen() ? 1 : 0; });
// Copies up to count waiting bytes to buffer; how many it copied.
EM_JS(int, link_take, (uint8_t* buffer, uint32_t count), {
    const bytes = Module.link.take(count);
    HEAPU8.set(bytes, buffer);
    return bytes.length;
});
// Resolves once count bytes wait or ms have passed.
EM_ASYNC_JS(void, link_wait, (uint32_t count, int ms), { await Module.link.wait(count, ms); });
EM_JS(int, link_answer_slack_ms, (), { return Module.link.answerSlackMs; });
EM_JS(int, link_send, (const uint8_t* buffer, uint32_t count), {
    return Module.link.send(HEAPU8.slice(buffer, buffer + count)) ? 1 : 0;
});
}  // namespace

int PageLink::Open() { return link_open(); }

int PageLink::Close() { return link_close(); }

bool PageLink::IsOpen() const { return link_is_open() != 0; }

int PageLink::Read(uint8_t* buffer, uint32_t count)
{
    if (!IsOpen()) return 0;
    int got = link_take(buffer, count);
    if (static_cast<uint32_t>(got) == count) return got;
    link_wait(count - got, kReadWaitMs);
    return got + link_take(buffer + got, count - got);
}

int PageLink::AnswerSlackMs() const { return link_answer_slack_ms(); }

int PageLink::Write(const uint8_t* buffer, uint32_t count) { return link_send(buffer, count); }
