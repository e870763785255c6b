#include "BoardRun.h"
#include "CliArgs.h"
#include "ExitStatus.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

TEST(CliExitStatus, EveryWayARunEndsHasItsStatus)
{
    struct Row {
        FlashOutcome outcome;
        AbandonReason reason;
        bool lineLost;
        bool foreignAnswered;
        int status;
    };
    const Row rows[] = {
        {FlashOutcome::Programmed, AbandonReason::None, false, false, 0},
        {FlashOutcome::FileReadError, AbandonReason::None, false, false, 3},
        {FlashOutcome::FileRefused, AbandonReason::None, false, false, 3},
        {FlashOutcome::NoProgramData, AbandonReason::None, false, false, 3},
        {FlashOutcome::WrongChip, AbandonReason::None, false, false, 3},
        {FlashOutcome::BootAreaOverlap, AbandonReason::None, false, false, 4},
        {FlashOutcome::UnexpectedAnswer, AbandonReason::None, false, false, 5},
        {FlashOutcome::Abandoned, AbandonReason::WaitExpired, false, true, 5},
        {FlashOutcome::Timeout, AbandonReason::None, false, false, 6},
        {FlashOutcome::Timeout, AbandonReason::WaitExpired, false, false, 6},
        {FlashOutcome::TransmissionProblem, AbandonReason::None, false, false, 7},
        {FlashOutcome::Abandoned, AbandonReason::WaitExpired, false, false, 8},
        {FlashOutcome::Abandoned, AbandonReason::Interrupted, false, false, 130},
        {FlashOutcome::Timeout, AbandonReason::Interrupted, false, false, 130},
        {FlashOutcome::Abandoned, AbandonReason::Interrupted, true, false, 130},
        {FlashOutcome::Timeout, AbandonReason::None, true, false, 2},
        {FlashOutcome::Abandoned, AbandonReason::WaitExpired, true, true, 2},
        {FlashOutcome::Abandoned, AbandonReason::None, false, false, 9},
        {FlashOutcome::None, AbandonReason::None, false, false, 9},
    };
    for (const Row& row : rows) {
        BoardResult result;
        result.outcome = row.outcome;
        result.abandoned = row.reason;
        result.lineLost = row.lineLost;
        result.foreignAnswered = row.foreignAnswered;
        EXPECT_EQ(ExitStatusOf(EndOf(result)), row.status)
            << static_cast<int>(row.outcome) << '/' << static_cast<int>(row.reason) << '/' << row.lineLost << '/'
            << row.foreignAnswered;
    }
    EXPECT_EQ(ExitStatusOf(BoardEnd::Stopped(BoardEnd::Stop::PortNotOpened)), 2);
    EXPECT_EQ(ExitStatusOf(BoardEnd::Stopped(BoardEnd::Stop::FileNotLoaded)), 3);
    SessionEnd refused;
    refused.monitorRateRefused = true;
    EXPECT_EQ(ExitStatusOf(refused), 1);
}

TEST(CliExitStatus, HelpDocumentsEveryStatus)
{
    const std::string usage = CliUsage();
    for (const char* line : {"    0  programmed", "    1  ", "    2  ", "    3  ", "    4  ", "    5  ",
                             "    6  ", "    7  ", "    8  ", "    9  ", "  129  ", "  130  "})
        EXPECT_NE(usage.find(line), std::string::npos) << line;
}

namespace {

// A meaning's opening words, up to the first comma, colon or parenthesis,
// without Markdown's backticks.
std::string Gist(const std::string& meaning)
{
    std::string gist;
    for (char c : meaning.substr(0, meaning.find_first_of(",:(")))
        if (c != '`')
            gist += c;
    return gist.substr(0, gist.find_last_not_of(' ') + 1);
}

} // namespace

// The README lists the statuses the program has, in its order, each with
// the meaning --help gives it.
TEST(CliExitStatus, ReadmeTableIsTheProgramsTable)
{
    std::ifstream readme(FERNBOW_README);
    ASSERT_TRUE(readme) << "cannot read " << FERNBOW_README;
    std::vector<std::pair<int, std::string>> documented;
    std::string line;
    bool inTable = false;
    while (std::getline(readme, line)) {
        if (line.rfind("| Exit status | Meaning |", 0) == 0) {
            inTable = true;
        } else if (inTable && line.rfind("|---", 0) != 0) {
            if (line.rfind("| ", 0) != 0)
                break;
            const size_t bar = line.find(" | ", 2);
            ASSERT_NE(bar, std::string::npos) << line;
            const std::string meaning = line.substr(bar + 3, line.rfind(" |") - bar - 3);
            documented.emplace_back(std::stoi(line.substr(2, bar - 2)), Gist(meaning));
        }
    }
    const std::vector<ExitStatusMeaning> table = ExitStatusMeanings();
    ASSERT_EQ(documented.size(), table.size()) << "rows in the README's exit-status table";
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(documented[i].first, table[i].status) << "row " << i;
        EXPECT_EQ(documented[i].second, Gist(table[i].meaning)) << "status " << table[i].status;
    }
}
