// The engine against a scripted loader that speaks firmware 1.2's extension
// the way the firmware does: the ask, the rate switch (made or missed), reads,
// write-if-different and data EEPROM, and the inherited dialogue when the
// loader is not ours.
#include "EngineFixture.h"
#include <gtest/gtest.h>

namespace {

using namespace LoaderWire;

struct OurLoader {
    const ChipInfo& chip;
    uint8_t version = 0x12;
    uint8_t abilities = 0x3F;
    uint32_t start;             // the loader's area
    bool refuseAsk = false;     // a foreign loader that claims our version
    bool missSwitch = false;    // the 0xC1 at the new rate is lost
    int corruptReads = 0;       // read answers to spoil, from the first
    int rate = kBaseRate;       // the loader's line rate
    std::vector<uint16_t> flash;
    std::vector<uint8_t> eeprom = std::vector<uint8_t>(kEepromBytes, 0xFF);
    int erases = 0;

    explicit OurLoader(const ChipInfo& c) : chip(c), start(c.isF819 ? 0x6A0 : 0xEA0), flash(c.flashWords, 0x3FFF) {}

    uint32_t VectorRow() const { return chip.VectorBlock() * 32; }
    bool RowTaken(uint32_t row, const uint8_t* body) const
    {
        if (row % 32 != 0 || (row >= start && row != VectorRow())) return false;
        return row != 0 || std::equal(chip.jump, chip.jump + chip.jumpSize, body);
    }
    bool RowHolds(uint32_t row, const uint8_t* body) const
    {
        for (uint32_t i = 0; i < 32; ++i)
            if (flash[row + i] != ((body[2 * i] | body[2 * i + 1] << 8) & 0x3FFF)) return false;
        return true;
    }
    void WriteRow(uint32_t row, const uint8_t* body)
    {
        ++erases;
        for (uint32_t i = 0; i < 32; ++i) flash[row + i] = (body[2 * i] | body[2 * i + 1] << 8) & 0x3FFF;
    }
    std::vector<uint8_t> Answer(const std::vector<uint8_t>& w, ScriptedLink& link)
    {
        if (link.rate != rate) {
            // Noise at the wrong rate; a fast loader hears the host's quiet
            // around it and goes back to the base rate.
            rate = kBaseRate;
            return {};
        }
        if (w.size() == 1) {
            if (missSwitch && rate != kBaseRate) {
                rate = kBaseRate;  // it heard nothing at the new rate, and went back
                return {};
            }
            return {chip.answer, version};
        }
        uint8_t sum = 0;
        for (uint8_t b : w) sum = static_cast<uint8_t>(sum + b);
        const uint32_t address = static_cast<uint32_t>(w[0]) << 8 | w[1];
        const uint8_t* body = w.data() + 3;
        if (sum == 0) {
            if (!RowTaken(address, body)) return {'N'};
            WriteRow(address, body);
            return {'K'};
        }
        if (sum != kExtendedSum || refuseAsk) return {'N'};
        switch (w[2]) {
        case kAsk: {
            std::vector<uint8_t> x = {'X', abilities, static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start)};
            x.push_back(static_cast<uint8_t>(kExtendedSum - 'X' - abilities - x[2] - x[3]));
            return x;
        }
        case kRate:
            for (const FastRate& r : kFastRates)
                if (r.code == body[0]) rate = r.baud;
            return {kRateReply};
        case kRead: {
            std::vector<uint8_t> data;
            const uint32_t count = body[1] ? body[1] : 256;
            for (uint32_t i = 0; i < count; ++i) {
                const uint16_t v = body[0] ? flash[address + i] : eeprom[(address + i) & 0xFF];
                data.push_back(static_cast<uint8_t>(v));
                data.push_back(static_cast<uint8_t>(v >> 8));
            }
            uint8_t check = 0;
            for (uint8_t b : data) check = static_cast<uint8_t>(check - b);
            data.push_back(static_cast<uint8_t>(check + (corruptReads-- > 0 ? 1 : 0)));
            return data;
        }
        case kWriteIfDifferent:
            if (!RowTaken(address, body)) return {'N'};
            if (RowHolds(address, body)) return {kAnswerSame};
            WriteRow(address, body);
            return {'K'};
        case kWriteEeprom: {
            bool written = false;
            for (uint32_t i = 0; i < kEepromRowBytes; ++i)
                if (!(body[2 * i + 1] & 0x80) && eeprom[(address + i) & 0xFF] != body[2 * i]) {
                    eeprom[(address + i) & 0xFF] = body[2 * i];
                    written = true;
                }
            return {static_cast<uint8_t>(written ? 'K' : kAnswerSame)};
        }
        default:
            return {'N'};
        }
    }
    void Attach(ScriptedLink& link)
    {
        link.onWrite = [this, &link](const std::vector<uint8_t>& w) { link.Reply(Answer(w, link), 1); };
    }
};

// Program data in rows 0, 1 and 10, and the first EEPROM bytes.
std::string Program(bool withEeprom = false, uint8_t seed = 0)
{
    std::string hex = IntelHexRecord(0, {0x05, 0x28, 0xFF, 0x3F});  // goto 5
    hex += IntelHexRecord(0x40, Bytes(32, seed));
    hex += IntelHexRecord(10 * 64, Bytes(16, 0x30));
    if (withEeprom) hex += IntelHexRecord(0x4200, {'F', 0, 'b', 0, 0, 0});
    return hex + IntelHexEndRecord();
}

struct Bench {
    EngineRig rig;
    OurLoader loader;
    LoadedHex kept;
    explicit Bench(const ChipInfo& chip = ChipF88()) : loader(chip)
    {
        rig.link.switchable = true;
        rig.host.abandonAtTick = 200000;  // a search that never ends fails the test instead of hanging it
        loader.Attach(rig.link);
    }
    bool Load(const std::string& hex)
    {
        MemorySource source(hex.data(), hex.size());
        return rig.writer.LoadAndKeep(source, kept);
    }
    FlashOutcome Write(const std::string& hex, FlashRunOptions options = {})
    {
        EXPECT_TRUE(Load(hex));
        rig.writer.SetRunOptions(options);
        rig.writer.ProgramKept(kept);
        return rig.writer.LastOutcome();
    }
    bool SentExtended() const
    {
        for (const auto& f : rig.link.Frames()) {
            uint8_t sum = 0;
            for (uint8_t b : f) sum = static_cast<uint8_t>(sum + b);
            if (sum == kExtendedSum) return true;
        }
        return false;
    }
};

TEST(ExtendedDialogue, WritesOnlyWhatChangedAtTheFastestRateBothEndsMake)
{
    Bench run;
    ASSERT_EQ(run.Write(Program()), FlashOutcome::Programmed);
    ASSERT_EQ(run.rig.host.loaders.size(), 1u);
    EXPECT_TRUE(run.rig.host.loaders[0].extended);
    EXPECT_EQ(run.rig.link.rates, (std::vector<int>{250000, 19200})) << "switched, and back when the run ended";
    EXPECT_EQ(run.rig.writer.Baud(), 250000);
    EXPECT_EQ(run.rig.writer.RowsWritten(), 4);  // rows 0, 1, 10 and the moved vector's
    EXPECT_EQ(run.loader.flash[0x20], 0x0100);
    EXPECT_EQ(run.loader.flash[run.loader.VectorRow() + 0x1C + 1], 0x2805) << "the moved goto";

    // The same file again: nothing erased. One row changed: that row alone.
    ASSERT_EQ(run.Write(Program()), FlashOutcome::Programmed);
    EXPECT_EQ(run.rig.writer.RowsWritten(), 0);
    EXPECT_EQ(run.rig.writer.RowsSkipped(), 4);
    ASSERT_EQ(run.Write(Program(false, 7)), FlashOutcome::Programmed);
    EXPECT_EQ(run.rig.writer.RowsWritten(), 1);
    EXPECT_EQ(run.loader.erases, 5);
    // --full: plain frames, every row erased and written.
    ASSERT_EQ(run.Write(Program(false, 7), {true, 0}), FlashOutcome::Programmed);
    EXPECT_EQ(run.rig.writer.RowsWritten(), 4);
    EXPECT_EQ(run.loader.erases, 9);
}

TEST(ExtendedDialogue, TheRateIsTheFastestThatLoaderPortAndCapAllow)
{
    const struct { const char* what; const ChipInfo& chip; uint8_t abilities; bool switchable; int cap; bool miss;
                   std::vector<int> rates; int runRate; } cases[] = {
        {"no cap", ChipF88(), 0x3F, true, 0, false, {250000, 19200}, 250000},
        {"capped between", ChipF88(), 0x3F, true, 200000, false, {125000, 19200}, 125000},
        {"capped at the base", ChipF88(), 0x3F, true, 19200, false, {}, 19200},
        {"a port that cannot switch", ChipF88(), 0x3F, false, 0, false, {}, 19200},
        {"the PIC16F819's one rate", ChipF819(), 0x39, true, 0, false, {38400, 19200}, 38400},
        {"the switch missed", ChipF88(), 0x3F, true, 0, true, {250000, 19200}, 19200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bench run(c.chip);
        run.loader.abilities = c.abilities;
        run.loader.missSwitch = c.miss;
        run.rig.link.switchable = c.switchable;
        ASSERT_EQ(run.Write(Program(), {false, c.cap}), FlashOutcome::Programmed);
        EXPECT_EQ(run.rig.link.rates, c.rates);
        EXPECT_EQ(run.rig.writer.Baud(), c.runRate);
        EXPECT_EQ(run.loader.flash[0x20], 0x0100);
        const auto& statuses = run.rig.host.statuses;
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "The line rate switch was missed: going on at 19200 baud"),
                  c.miss ? 1 : 0);
    }
}

// A loader that is not ours gets the inherited dialogue, whatever its version
// byte says; reading back needs ours.
TEST(ExtendedDialogue, ALoaderThatIsNotOursGetsTheInheritedDialogue)
{
    const struct { const char* what; uint8_t version; bool refuseAsk; bool asked; } cases[] = {
        {"version 1.1", 0x11, false, false},
        {"claims 1.2, refuses the ask", 0x12, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bench run;
        run.loader.version = c.version;
        run.loader.refuseAsk = c.refuseAsk;
        ASSERT_EQ(run.Write(Program(true)), FlashOutcome::Programmed);
        EXPECT_FALSE(run.rig.host.loaders.at(0).extended);
        EXPECT_EQ(run.rig.host.eepromNotes, 1) << "the EEPROM data is left out, and said so";
        EXPECT_EQ(run.SentExtended(), c.asked);
        EXPECT_EQ(run.rig.link.Frames().size(), 4u + (c.asked ? 1u : 0u)) << "every row, as plain frames";
        EXPECT_TRUE(run.rig.link.rates.empty());
        EXPECT_EQ(run.loader.eeprom[0], 0xFF);
        run.rig.writer.VerifyKept(run.kept);
        EXPECT_EQ(run.rig.writer.LastOutcome(), FlashOutcome::CannotRead);
        run.rig.writer.ReadChip();
        EXPECT_EQ(run.rig.writer.LastOutcome(), FlashOutcome::CannotRead);
    }
}

TEST(ExtendedDialogue, VerifyNamesTheFirstDifferenceAndWritesNothing)
{
    Bench run;
    ASSERT_EQ(run.Write(Program(true)), FlashOutcome::Programmed);
    EXPECT_EQ(run.loader.eeprom[0], 'F');
    EXPECT_EQ(run.loader.eeprom[2], 0) << "a byte the file gives as 0";
    EXPECT_EQ(run.loader.eeprom[3], 0xFF) << "a byte the file leaves alone";
    const int erases = run.loader.erases;
    const struct { const char* what; uint32_t word; bool eeprom; FlashOutcome outcome; int32_t first; } cases[] = {
        {"equal", 0, false, FlashOutcome::Verified, -1},
        {"a word of row 1", 0x23, false, FlashOutcome::VerifyMismatch, 0x23},
        {"a moved word", run.loader.VectorRow() + 0x1D, false, FlashOutcome::VerifyMismatch,
         static_cast<int32_t>(run.loader.VectorRow() + 0x1D)},
        {"an EEPROM byte", 1, true, FlashOutcome::VerifyMismatch, 0x2101},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto spoil = [&] {
            if (c.first < 0) return;
            if (c.eeprom) run.loader.eeprom[c.word] ^= 0x01;
            else run.loader.flash[c.word] ^= 0x01;
        };
        spoil();
        run.rig.writer.VerifyKept(run.kept);
        spoil();  // and mended again
        EXPECT_EQ(run.rig.writer.LastOutcome(), c.outcome);
        EXPECT_EQ(run.rig.writer.FirstDifference(), c.first);
    }
    EXPECT_EQ(run.loader.erases, erases);
    // A file without program data proves nothing.
    ASSERT_TRUE(run.Load(IntelHexRecord(0x400E, {0x30, 0x3F}) + IntelHexEndRecord()));
    run.rig.writer.VerifyKept(run.kept);
    EXPECT_EQ(run.rig.writer.LastOutcome(), FlashOutcome::NoProgramData);
}

TEST(ExtendedDialogue, ReadTakesTheChipBackAndRetriesASpoiltAnswer)
{
    for (int corrupt : {0, 2, 3}) {
        SCOPED_TRACE(corrupt);
        Bench run(ChipF819());
        ASSERT_EQ(run.Write(Program(true)), FlashOutcome::Programmed);
        run.loader.corruptReads = corrupt;
        run.rig.writer.ReadChip();
        const ChipContent& read = run.rig.writer.ChipRead();
        if (corrupt == 3) {  // every try of the first read spoilt
            EXPECT_EQ(run.rig.writer.LastOutcome(), FlashOutcome::Timeout);
            continue;
        }
        ASSERT_EQ(run.rig.writer.LastOutcome(), FlashOutcome::ReadBack);
        ASSERT_EQ(read.words.size(), run.loader.start);
        EXPECT_TRUE(std::equal(read.words.begin(), read.words.end(), run.loader.flash.begin()));
        EXPECT_EQ(read.moved[0], 0x2805) << "the program's goto, from the moved vector";
        EXPECT_EQ(read.eeprom.at(1), 'b');
    }
}

// The loader's own area grows with ours: a program that reaches into it is
// refused before anything is written, but fits an inherited loader.
TEST(ExtendedDialogue, AProgramReachingIntoTheLoadersAreaIsRefusedWithOurs)
{
    const std::string hex = IntelHexRecord(0, {0x05, 0x28}) + IntelHexRecord(2 * 0xEB0, Bytes(16)) + IntelHexEndRecord();
    for (uint8_t version : {0x12, 0x11}) {
        SCOPED_TRACE(version);
        Bench run;
        run.loader.version = version;
        if (version < kFirstExtendedVersion) run.loader.start = run.loader.VectorRow();  // the inherited layout
        const FlashOutcome outcome = run.Write(hex);
        EXPECT_EQ(outcome, version == 0x12 ? FlashOutcome::BootAreaOverlap : FlashOutcome::Programmed);
        EXPECT_EQ(run.loader.erases, version == 0x12 ? 0 : 3);
    }
}

}  // namespace
