#include "WriteSessions.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kMs = 1000000;

// At each millisecond: the plug-in's events, or "host" for bytes from the
// host; then whether a session has ended by then.
struct Step {
    uint64_t ms;
    std::string what;
    bool ended;
};

TEST(SimWriteSessions, OneEndsAfterIdleTimeAndOnlyTheChipsWritesStartOne)
{
    const struct {
        const char* name;
        std::vector<Step> steps;
        uint32_t sessions, lastRows, rows;
    } cases[] = {
        {"host bytes alone", {{0, "host", false}, {5000, "", false}}, 0, 0, 0},
        {"two rows, then idle", {{0, "EWEW", false}, {999, "", false}, {1000, "", true}, {3000, "", false}}, 1, 2, 2},
        {"the host keeps it open", {{0, "EW", false}, {900, "host", false}, {1800, "", false}, {1900, "", true}}, 1, 1, 1},
        {"two sessions", {{0, "EW", false}, {1000, "", true}, {2000, "EWEWEW", false}, {3000, "", true}}, 2, 3, 4},
    };
    for (const auto& c : cases) {
        WriteSessions sessions(1000 * kMs);
        for (const Step& s : c.steps) {
            if (s.what == "host") sessions.HostBusy(s.ms * kMs);
            else sessions.FlashEvents(s.what.data(), s.what.size(), s.ms * kMs);
            EXPECT_EQ(sessions.EndedBy(s.ms * kMs), s.ended) << c.name << " at " << s.ms << " ms";
        }
        EXPECT_EQ(sessions.Count(), c.sessions) << c.name;
        EXPECT_EQ(sessions.LastRows(), c.lastRows) << c.name;
        EXPECT_EQ(sessions.Rows(), c.rows) << c.name;
    }
}

}  // namespace
