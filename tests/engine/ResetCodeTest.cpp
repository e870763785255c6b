#include "ResetCode.h"
#include <gtest/gtest.h>

namespace {

using Rule = ResetCodeRule;
constexpr uint16_t kGoto = 0x280A, kNop = 0x0000, kErased = 0x3FFF;

struct PlanCase {
    const char* name;
    const ChipInfo& chip;
    ResetWords words;
    Rule rule;
    int decidingWord;
};

TEST(ResetCode, EveryRule)
{
    const ChipInfo& f88 = ChipF88();
    const ChipInfo& f819 = ChipF819();
    const PlanCase cases[] = {
        {"goto first", f88, {kGoto, 0x3400, 0x3400, kErased}, Rule::Mended, 0},
        {"goto after plain words", f88, {0x3005, 0x00A0, kGoto, 0x0064}, Rule::Mended, 2},
        {"bsf PCLATH,4 leaves the page bit", f88, {0x160A, kGoto, kNop, kNop}, Rule::Mended, 1},
        {"incf PCLATH,f is relative", f88, {0x0A8A, kGoto, kNop, kNop}, Rule::Mended, 1},
        {"movf PCLATH,w only reads", f88, {0x080A, kGoto, kNop, kNop}, Rule::Mended, 1},
        {"movwf PCL is a jump", f88, {0x3005, 0x0082, kNop, kNop}, Rule::Mended, 1},
        {"addwf PCL,f jumps from where it runs", f88, {kNop, 0x0782, kNop, kNop}, Rule::NotMendable, 1},
        {"bsf PCL,0 too", f88, {0x1402, kNop, kNop, kNop}, Rule::NotMendable, 0},
        {"movlw/movwf PCLATH/goto", f88, {0x3000, 0x008A, 0x288F, kNop}, Rule::SetsItsPage, 1},
        {"clrf PCLATH", f88, {kClrfPclath, kGoto, kNop, kNop}, Rule::SetsItsPage, 0},
        {"nop/bsf PCLATH,3/goto", f88, {kNop, 0x158A, 0x2C9B, 0x34FF}, Rule::SetsItsPage, 1},
        {"bcf PCLATH,3", f88, {0x118A, 0x2FF7, kErased, kErased}, Rule::SetsItsPage, 0},
        {"goto as the fourth word", f88, {kNop, kNop, kNop, kGoto}, Rule::NotMendable, 3},
        {"call first", f88, {0x2010, kGoto, kNop, kNop}, Rule::NotMendable, 0},
        {"return before goto", f88, {0x0008, kGoto, kNop, kNop}, Rule::NotMendable, 1},
        {"retfie before goto", f88, {0x0009, kGoto, kNop, kNop}, Rule::NotMendable, 1},
        {"retlw before goto", f88, {0x3412, kGoto, kNop, kNop}, Rule::NotMendable, 1},
        {"btfsc before goto", f88, {0x1803, kGoto, kGoto, kNop}, Rule::NotMendable, 1},
        {"decfsz before goto", f88, {0x0BA0, kGoto, kGoto, kNop}, Rule::NotMendable, 1},
        {"sets its page but never jumps", f88, {kClrfPclath, kNop, kNop, kNop}, Rule::NoJump, -1},
        {"nothing at 0", f88, {kErased, kErased, 0xFFFF, kErased}, Rule::NoJump, -1},
        {"F819 goto", f819, {kGoto, kNop, kNop, kNop}, Rule::Copied, -1},
        {"F819 call first", f819, {0x2010, kGoto, kNop, kNop}, Rule::Copied, -1},
        {"F819 no goto", f819, {0x2010, kNop, kNop, kNop}, Rule::NoJump, -1},
        {"F819 nothing at 0", f819, {kErased, kErased, kErased, kErased}, Rule::NoJump, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ResetCodeReport r = PlanResetCode(c.chip, c.words);
        EXPECT_EQ(r.rule, c.rule);
        EXPECT_EQ(r.decidingWord, c.decidingWord);
        const ResetWords mended = {kClrfPclath, c.words[0], c.words[1], c.words[2]};
        EXPECT_EQ(r.moved, c.rule == Rule::Mended ? mended : c.words);
        EXPECT_EQ(r.erased, c.words[0] == kErased && c.words[1] == kErased);
        EXPECT_EQ(ResetCodeNote(r).empty(), c.rule != Rule::Mended);
        EXPECT_EQ(ResetCodeWarning(r).empty(), !r.Warns());
        EXPECT_EQ(r.Warns(), c.rule == Rule::NotMendable || c.rule == Rule::NoJump);
    }
}

}  // namespace
