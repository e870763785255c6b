// The HEX loader on any bytes at all.
#include "FakeHost.h"
#include "FlashWriter.h"
#include "FuzzRequire.h"
#include "ScriptedLink.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FakeHost host;
    ScriptedLink link(host.tick);
    CFlashWriter writer(link, host);
    MemorySource source(data, size);
    FUZZ_REQUIRE(writer.LoadHex(source));  // memory never fails to read

    // Nothing is kept at or above 0x4000, and the highest record lies below
    // it (the end record may raise it by the part of a long record beyond
    // its first 64 bytes).
    const uint8_t* image = writer.Image();
    FUZZ_REQUIRE(std::all_of(image + 0x4000, image + kImageSize, [](uint8_t b) { return b == 0xFF; }));
    FUZZ_REQUIRE(writer.HighAddr() < 0x4000 + 255 - 64);
    FUZZ_REQUIRE(writer.HighCount() <= 255);
    FUZZ_REQUIRE(link.writes.empty());
    // A bad record always names its line.
    const HexLoadReport& report = writer.LoadReport();
    FUZZ_REQUIRE((report.badRecords == 0) == (report.firstBadLine == 0));
    return 0;
}
