#include "EngineFixture.h"
#include <algorithm>
#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> FrameData(const std::vector<uint8_t>& frame)
{
    return std::vector<uint8_t>(frame.begin() + 3, frame.begin() + 67);
}

// Every block below the bootloader filled with data.
std::string FullProgram(uint32_t boundary)
{
    std::string hex;
    for (uint32_t a = 0; a < boundary; a += 16) hex += IntelHexRecord(a, Bytes(std::min<uint32_t>(16, boundary - a), static_cast<uint8_t>(a)));
    return hex + IntelHexEndRecord();
}

TEST(EngineBlocks, RelocatesTheResetVectorForBothChips)
{
    const std::vector<uint8_t> start = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
    // goto 0x00A; retlw 0; retlw 0; (erased): clrf PCLATH goes in front on the F88.
    const std::vector<uint8_t> bareGoto = {0x0A, 0x28, 0x00, 0x34, 0x00, 0x34, 0xFF, 0xFF};
    const struct { uint8_t chip; std::vector<uint8_t> start, jump, moved; uint32_t vectorBlock; ResetCodeRule rule; } cases[] = {
        {'8', start, {0x60, 0x2F}, {start.begin(), start.begin() + 8}, 58, ResetCodeRule::NoJump},
        {'H', start, {0x8A, 0x15, 0x60, 0x2F}, {start.begin(), start.begin() + 8}, 122, ResetCodeRule::NoJump},
        {'8', bareGoto, {0x60, 0x2F}, bareGoto, 58, ResetCodeRule::Copied},
        {'H', bareGoto, {0x8A, 0x15, 0x60, 0x2F}, {0x8A, 0x01, 0x0A, 0x28, 0x00, 0x34, 0x00, 0x34}, 122,
         ResetCodeRule::Mended},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chip);
        EngineRig rig;
        rig.board.chip = c.chip;
        rig.Run(IntelHexRecord(0, c.start) + IntelHexEndRecord());
        ASSERT_EQ(rig.BlocksSent(), (std::vector<uint32_t>{0, c.vectorBlock}));
        const auto frames = rig.link.Frames();
        std::vector<uint8_t> block0 = FrameData(frames[0]);
        std::vector<uint8_t> expected(64, 0xFF);
        std::copy(c.start.begin(), c.start.end(), expected.begin());
        std::copy(c.jump.begin(), c.jump.end(), expected.begin());
        EXPECT_EQ(block0, expected);
        // The program's first four words, just below the bootloader's entry.
        std::vector<uint8_t> vector(64, 0xFF);
        std::copy(c.moved.begin(), c.moved.end(), vector.begin() + 0x38);
        EXPECT_EQ(FrameData(frames[1]), vector);
        ASSERT_EQ(rig.host.resetCodes.size(), 1u);
        EXPECT_EQ(rig.host.resetCodes[0].rule, c.rule);
        EXPECT_EQ(rig.host.LastStatus(), "Pic successfully programmed! ");
        EXPECT_EQ(rig.host.beeps, 1);
    }
}

TEST(EngineBlocks, VectorBlockAddressOnTheWire)
{
    EngineRig rig;
    rig.board.chip = '8';
    rig.Run(IntelHexRecord(0, Bytes(8)) + IntelHexEndRecord());
    const auto frames = rig.link.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1][0], 0x07);
    EXPECT_EQ(frames[1][1], 0x40);
    EXPECT_EQ(frames[1][2], 0x40);
}

TEST(EngineBlocks, ProgramWithoutResetVectorStillSendsTheJump)
{
    EngineRig rig;
    rig.board.chip = '8';
    rig.Run(IntelHexRecord(0x100, Bytes(4)) + IntelHexEndRecord());
    // The moved vector is all 0xFF, so its block is empty and skipped.
    EXPECT_EQ(rig.BlocksSent(), (std::vector<uint32_t>{0, 4}));
    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);
}

// Writing the bootloader jump alone would break whatever program the chip
// holds: a file without a byte of program sends nothing, not even a wake-up.
TEST(EngineBlocks, NoProgramDataSendsNothing)
{
    std::string noise(3000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919u) >> 3);
    for (const std::string& hex : {std::string(), IntelHexEndRecord(), IntelHexRecord(0x400E, {0x38, 0x3F}) + IntelHexEndRecord(),
                                   IntelHexRecord(0x10, {}) + IntelHexEndRecord(), noise}) {
        EngineRig rig;
        rig.Run(hex);
        EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::NoProgramData);
        EXPECT_TRUE(rig.link.writes.empty());
        EXPECT_EQ(rig.host.loadedCalls, 0);
        EXPECT_EQ(rig.writer.Image(), nullptr);
    }
}

// Every non-empty block from 0 up to the vector block is sent, in order, and
// nothing beyond it: the chips' block counts do not end the run.
TEST(EngineBlocks, BlockRangeEndsAtTheVectorBlock)
{
    const struct { const char* name; uint8_t chip; std::string hex; std::vector<uint32_t> blocks; } cases[] = {
        {"F88 data in block 118", 'H', IntelHexRecord(0, Bytes(8)) + IntelHexRecord(118 * 64, Bytes(16)) + IntelHexEndRecord(), {0, 118, 122}},
        {"F88 data in 118 and 120", 'H', IntelHexRecord(0, Bytes(8)) + IntelHexRecord(118 * 64, Bytes(4)) + IntelHexRecord(120 * 64, Bytes(4)) + IntelHexEndRecord(),
         {0, 118, 120, 122}},
        {"F88 data next to the vector", 'H', IntelHexRecord(0, Bytes(8)) + IntelHexRecord(122 * 64, Bytes(16)) + IntelHexEndRecord(), {0, 122}},
        {"F819 data in block 57", '8', IntelHexRecord(0, Bytes(8)) + IntelHexRecord(57 * 64, Bytes(16)) + IntelHexEndRecord(), {0, 57, 58}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        rig.board.chip = c.chip;
        rig.Run(c.hex);
        EXPECT_EQ(rig.BlocksSent(), c.blocks);
        EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);
    }
}

TEST(EngineBlocks, FullSizeImagesSendEveryBlockOnce)
{
    const struct { uint8_t chip; uint32_t boundary; uint32_t blocks; } cases[] = {{'8', 0x0EB8, 59}, {'H', 0x1EB8, 123}};
    for (const auto& c : cases) {
        EngineRig rig;
        rig.board.chip = c.chip;
        rig.Run(FullProgram(c.boundary));
        std::vector<uint32_t> all(c.blocks);
        for (uint32_t i = 0; i < c.blocks; ++i) all[i] = i;
        EXPECT_EQ(rig.BlocksSent(), all);
        EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);
        EXPECT_EQ(rig.writer.BytesSent(), static_cast<int32_t>(68 * c.blocks));
    }
}

TEST(EngineBlocks, BootAreaGuard)
{
    const struct { const char* name; uint8_t chip; std::string hex; bool refused; } cases[] = {
        {"F819 ends just below", '8', IntelHexRecord(0x0EA8, Bytes(16)) + IntelHexEndRecord(), false},
        {"F819 record at the boundary", '8', IntelHexRecord(0x0EB8, Bytes(2)) + IntelHexEndRecord(), true},
        {"F819 long record over it", '8', IntelHexRecord(0x0E80, Bytes(64)) + IntelHexEndRecord(), true},
        {"F819 highest record above it", '8', IntelHexRecord(0x0EC0, Bytes(2)) + IntelHexEndRecord(), true},
        {"F819 long record below it", '8', IntelHexRecord(0x0E40, Bytes(120)) + IntelHexEndRecord(), false},
        {"F819 long highest record raised over it", '8', IntelHexRecord(0x0E80, Bytes(128)) + IntelHexEndRecord(), true},
        {"F819 empty record above it", '8', IntelHexRecord(0, Bytes(8)) + IntelHexRecord(0x0F00, {}) + IntelHexEndRecord(), true},
        {"F88 ends just below", 'H', IntelHexRecord(0x1EA8, Bytes(16)) + IntelHexEndRecord(), false},
        {"F88 record over it", 'H', IntelHexRecord(0x1EB0, Bytes(16)) + IntelHexEndRecord(), true},
        {"ID locations and configuration words are left out", 'H',
         IntelHexRecord(0, Bytes(8)) + IntelHexRecord(0x4000, Bytes(8)) + IntelHexRecord(0x400E, {0x38, 0x3F}) + IntelHexEndRecord(), false},
        {"F88 program fits F88 but not F819", '8', IntelHexRecord(0x1000, Bytes(16)) + IntelHexEndRecord(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        rig.board.chip = c.chip;
        rig.Run(c.hex);
        if (c.refused) {
            EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::BootAreaOverlap);
            EXPECT_EQ(rig.host.LastStatus(), "");
            ASSERT_EQ(rig.host.boxes.size(), 1u);
            EXPECT_EQ(rig.host.boxes[0].first, "hex file address overlaps boot area. Programming aborted.");
            EXPECT_EQ(rig.host.boxes[0].second, c.chip == '8' ? "PIC16F819" : "PIC16F88");
            EXPECT_TRUE(rig.link.Frames().empty());
        } else {
            EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);
            EXPECT_TRUE(rig.host.boxes.empty());
        }
    }
}

struct AnswerCase {
    const char* name;
    std::function<std::vector<uint8_t>(uint32_t, int)> reply;
    FlashOutcome outcome;
    const char* status;
    size_t framesForBlock0;
};

TEST(EngineBlocks, AnswerOutcomes)
{
    const std::vector<uint8_t> silence;
    const AnswerCase cases[] = {
        {"silent", [&](uint32_t, int) { return silence; }, FlashOutcome::Timeout, "Timeout!", 1},
        {"garbage", [](uint32_t, int) { return std::vector<uint8_t>{'?'}; }, FlashOutcome::Timeout, "Timeout!", 1},
        {"always N", [](uint32_t, int) { return std::vector<uint8_t>{'N'}; }, FlashOutcome::TransmissionProblem,
         "Transmission problem", 10},
        {"N then silence counts as N", [&](uint32_t, int a) { return a == 0 ? std::vector<uint8_t>{'N'} : silence; },
         FlashOutcome::TransmissionProblem, "Transmission problem", 10},
        {"N, two silences, K", [&](uint32_t, int a) {
             return a == 0 ? std::vector<uint8_t>{'N'} : a < 3 ? silence : std::vector<uint8_t>{'K'}; },
         FlashOutcome::Programmed, "Pic successfully programmed! ", 4},
        {"nine N then K", [](uint32_t, int a) { return std::vector<uint8_t>{a < 9 ? uint8_t('N') : uint8_t('K')}; },
         FlashOutcome::Programmed, "Pic successfully programmed! ", 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        rig.board.blockReply = [&](uint32_t block, int attempt) {
            return block == 0 ? c.reply(block, attempt) : std::vector<uint8_t>{'K'};
        };
        rig.Run(IntelHexRecord(0, Bytes(8)) + IntelHexEndRecord());
        EXPECT_EQ(rig.writer.LastOutcome(), c.outcome);
        EXPECT_EQ(rig.host.LastStatus(), c.status);
        EXPECT_EQ(std::count(rig.board.blocksSeen.begin(), rig.board.blocksSeen.end(), 0u),
                  static_cast<long>(c.framesForBlock0));
    }
}

TEST(EngineBlocks, TimeoutComesAfterOneHundredFiftyTicks)
{
    EngineRig rig;
    int frameTick = -1;
    rig.board.blockReply = [&](uint32_t, int) { frameTick = rig.host.tick; return std::vector<uint8_t>{}; };
    rig.Run(IntelHexRecord(0, Bytes(8)) + IntelHexEndRecord());
    EXPECT_EQ(rig.host.LastStatus(), "Timeout!");
    EXPECT_EQ(rig.host.tick - frameTick, 150);
}

TEST(EngineBlocks, AbandonedWhileWaitingForABlock)
{
    EngineRig rig;
    rig.board.blockReply = [](uint32_t, int) { return std::vector<uint8_t>{}; };
    rig.host.abandonAtTick = 50;
    rig.Run(IntelHexRecord(0, Bytes(8)) + IntelHexEndRecord());
    EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Abandoned);
    EXPECT_EQ(rig.host.LastStatus(), "PIC16F88 found");
    EXPECT_EQ(rig.writer.Image(), nullptr);
}

TEST(EngineBlocks, EachRunStartsFromAFreshImage)
{
    EngineRig rig;
    rig.Run(IntelHexRecord(0x200, Bytes(16)) + IntelHexEndRecord());
    rig.link.writes.clear();
    rig.board.blocksSeen.clear();
    rig.Run(IntelHexRecord(0x400, Bytes(16)) + IntelHexEndRecord());
    EXPECT_EQ(rig.BlocksSent(), (std::vector<uint32_t>{0, 16}));
}

}  // namespace

// A bench loads the file once and programs board after board from the kept
// image: every board gets the frames a single run sends, the kept image
// stays as loaded (the reset vector moves only in each board's copy).
TEST(EngineBlocks, KeptImageProgramsEveryBoardLikeASingleRun)
{
    std::string badSum = IntelHexRecord(0x200, Bytes(4, 7));
    badSum[badSum.size() - 2] ^= 1;
    const std::string hex = IntelHexRecord(0, Bytes(40, 3)) + IntelHexRecord(0x300, Bytes(20, 9)) + badSum + IntelHexEndRecord();
    EngineRig single;
    single.Run(hex);
    ASSERT_EQ(single.writer.LastOutcome(), FlashOutcome::Programmed);

    EngineRig loader;
    LoadedHex kept;
    MemorySource source(hex.data(), hex.size());
    ASSERT_TRUE(loader.writer.LoadAndKeep(source, kept));
    EXPECT_EQ(loader.writer.Image(), nullptr);
    EXPECT_EQ(loader.host.loadedCalls, 1);
    EXPECT_EQ(loader.host.loaded.badRecords, 1u);
    const LoadedHex asLoaded = kept;
    for (int board = 0; board < 2; ++board) {
        SCOPED_TRACE(board);
        EngineRig rig;
        EXPECT_EQ(rig.writer.ProgramKept(kept), 1);
        EXPECT_EQ(rig.writer.LastOutcome(), FlashOutcome::Programmed);
        EXPECT_EQ(rig.link.Frames(), single.link.Frames());
        EXPECT_EQ(rig.writer.LastPercent(), single.writer.LastPercent());
        EXPECT_EQ(rig.writer.Image(), nullptr);
        EXPECT_EQ(rig.host.loadedCalls, 0);
        EXPECT_EQ(kept.image, asLoaded.image);
    }
}
