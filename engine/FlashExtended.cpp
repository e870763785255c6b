// The dialogue beyond the inherited one, with a loader that knows it
// (LoaderWire): asking what it can do, a faster line, reading back and
// verifying.
#include "FlashWriter.h"
#include "WakeUp.h"

#include <algorithm>
#include <cstring>

using namespace LoaderWire;

namespace {
constexpr int kAskTicks = 15;          // the ask frame and its answer at the base rate; an "N" takes 100 ms more
constexpr int kConfirmTicks = 3;       // the wake-up's answer at the new rate
constexpr int kLoaderReturnTicks = 13; // a loader that heard nothing at the new rate is back at the base rate
constexpr int kRewakeTries = 5;
constexpr int kRewakePauseTicks = 10;
constexpr int kReadTries = 3;
constexpr uint32_t kWordsPerRow = kBlockSize / 2;

const char kReadRefused[] = "This bootloader cannot read the chip back";
const char kVerified[] = "Chip and file are equal";
const char kDiffers[] = "Chip and file differ";
const char kReadDone[] = "Chip read";
}  // namespace

int CFlashWriter::TicksFor(uint32_t bytes) const
{
    // Ten bits a byte at the line's rate, twice over, and a margin.
    const int64_t ms = static_cast<int64_t>(bytes) * 10 * 1000 / m_nBaud;
    return static_cast<int>(2 * ms / kTickMs) + 5;
}

CFlashWriter::Heard CFlashWriter::Await(uint8_t* bytes, uint32_t count, int ticks)
{
    uint32_t got = 0;
    m_host.SetCountdown(ticks + AnswerSlackTicks(*m_link));
    while (got < count) {
        if (!m_host.PumpMessages()) return Heard::Abandoned;
        const int read = m_link->Read(bytes + got, count - got);
        if (read > 0) got += static_cast<uint32_t>(read);
        else if (m_host.GetCountdown() == 0) return Heard::Short;
    }
    return Heard::All;
}

// Only a version byte from the extension's time on is worth the ask frame;
// any other loader refuses it (its bytes do not add up to 0) and the run
// goes on exactly as the inherited dialogue has it.
bool CFlashWriter::AskLoader(uint8_t version)
{
    m_loader.version = version;
    if (version < kFirstExtendedVersion) return true;
    std::memset(m_frame, 0, sizeof m_frame);
    m_frame[0] = kAskAddressHigh;
    m_frame[1] = kAskAddressLow;
    m_frame[2] = kAsk;
    SendFrame(m_frame, kFrameHeaderSize + kBlockSize, kExtendedSum);
    uint8_t reply[kAskReplySize] = {};
    const Heard heard = Await(reply, 1, kAskTicks);
    if (heard == Heard::Abandoned) return false;
    if (heard == Heard::All && reply[0] == kAskReply) {
        if (Await(reply + 1, kAskReplySize - 1, kConfirmTicks) == Heard::Abandoned) return false;
        TakeAskReply(reply, *m_pChip, m_loader);
    }
    return true;
}

bool CFlashWriter::SwitchRate()
{
    if (!m_loader.extended) return true;
    const FastRate* chosen = nullptr;
    for (const FastRate& rate : kFastRates)
        if (!chosen && m_loader.Has(rate.ability) && (m_options.maxBaud <= 0 || rate.baud <= m_options.maxBaud) &&
            m_link->CanSetRate(rate.baud))
            chosen = &rate;
    if (!chosen) return true;

    std::memset(m_frame, 0, sizeof m_frame);
    m_frame[2] = kRate;
    m_frame[kFrameHeaderSize] = chosen->code;
    SendFrame(m_frame, kFrameHeaderSize + kBlockSize, kExtendedSum);
    uint8_t reply[2] = {};
    Heard heard = Await(reply, 1, kAskTicks);
    if (heard == Heard::Abandoned) return false;
    if (heard == Heard::All && reply[0] == kRateReply && m_link->SetRate(chosen->baud)) {
        m_nBaud = chosen->baud;
        SendWakeUp(*m_link);
        heard = Await(reply, 2, kConfirmTicks);
        if (heard == Heard::Abandoned) return false;
        if (heard == Heard::All && reply[0] == m_pChip->answer && reply[1] == m_loader.version) return true;
    }
    // One side missed the switch: the loader goes back to the base rate
    // once it has heard nothing at the new one, and so does the host.
    return WakeAgainAtBaseRate();
}

bool CFlashWriter::WakeAgainAtBaseRate()
{
    m_host.SetStatus("The line rate switch was missed: going on at 19200 baud");
    m_link->SetRate(kBaseRate);
    m_nBaud = kBaseRate;
    m_host.SetCountdown(kLoaderReturnTicks);
    while (m_host.GetCountdown() != 0)
        if (!m_host.PumpMessages()) return false;
    for (int attempt = 0; attempt < kRewakeTries; ++attempt) {
        SendWakeUp(*m_link);
        uint8_t reply[2] = {};
        const Heard heard = Await(reply, 2, kConfirmTicks);
        if (heard == Heard::Abandoned) return false;
        if (heard == Heard::All && reply[0] == m_pChip->answer) return true;
        m_host.SetCountdown(kRewakePauseTicks);
        while (m_host.GetCountdown() != 0)
            if (!m_host.PumpMessages()) return false;
    }
    // Not heard again: the blocks that follow end the run as a time-out.
    return true;
}

CFlashWriter::Heard CFlashWriter::ReadWords(uint8_t space, uint32_t address, uint32_t count, uint16_t* out)
{
    uint8_t reply[2 * kMaxReadWords + 1];
    const uint32_t size = 2 * count + 1;
    for (int attempt = 0; attempt < kReadTries; ++attempt) {
        std::memset(m_frame, 0, sizeof m_frame);
        m_frame[0] = static_cast<uint8_t>(address >> 8);
        m_frame[1] = static_cast<uint8_t>(address);
        m_frame[2] = kRead;
        m_frame[kFrameHeaderSize] = space;
        m_frame[kFrameHeaderSize + 1] = static_cast<uint8_t>(count);
        SendFrame(m_frame, kFrameHeaderSize + kBlockSize, kExtendedSum);
        const Heard heard = Await(reply, size, TicksFor(size + kBlockFrameSize));
        if (heard == Heard::Abandoned) return heard;
        uint8_t sum = 0;
        for (uint32_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + reply[i]);
        if (heard == Heard::All && sum == 0) {
            for (uint32_t i = 0; i < count; ++i)
                out[i] = static_cast<uint16_t>(reply[2 * i] | (reply[2 * i + 1] << 8));
            return Heard::All;
        }
        // Whatever is still on its way is dropped by the next frame's write.
        const Heard quiet = Await(reply, size, 2);
        if (quiet == Heard::Abandoned) return quiet;
    }
    return Heard::Short;
}

int CFlashWriter::VerifyKept(const LoadedHex& kept)
{
    if (!TakeKept(kept)) return Finish(FlashOutcome::FileReadError, nullptr);
    // Nothing to compare is no proof of anything.
    if (!HasProgramData()) return Finish(FlashOutcome::NoProgramData, nullptr);
    const FlashOutcome connected = Connect();
    if (connected != FlashOutcome::None) return Finish(connected, nullptr);
    if (!m_loader.Has(kCanRead)) return Finish(FlashOutcome::CannotRead, kReadRefused);
    if (!PrepareImage()) return 0;
    const uint8_t* const image = m_pImage.get();

    // The rows a write would send, read in runs of whole rows.
    const uint32_t lastBlock = m_pChip->VectorBlock();
    uint16_t words[kMaxReadWords];
    for (uint32_t block = 0; block <= lastBlock;) {
        if (IsErasedBlock(image + block * kBlockSize)) {
            ++block;
            continue;
        }
        uint32_t end = block;
        while (end <= lastBlock && end - block < kMaxReadWords / kWordsPerRow && !IsErasedBlock(image + end * kBlockSize)) ++end;
        const uint32_t first = block * kWordsPerRow, count = (end - block) * kWordsPerRow;
        const Heard heard = ReadWords(kSpaceProgram, first, count, words);
        if (heard == Heard::Abandoned) return Finish(FlashOutcome::Abandoned, nullptr);
        if (heard == Heard::Short) {
            m_nFailedBlock = static_cast<int32_t>(block);
            return Finish(FlashOutcome::Timeout, "Timeout!");
        }
        for (uint32_t i = 0; i < count && m_nFirstDifference < 0; ++i) {
            const uint32_t at = 2 * (first + i);
            const uint16_t want = static_cast<uint16_t>((image[at] | (image[at + 1] << 8)) & 0x3FFF);
            if ((words[i] & 0x3FFF) != want) m_nFirstDifference = static_cast<int32_t>(first + i);
        }
        if (m_nFirstDifference >= 0) return Finish(FlashOutcome::VerifyMismatch, kDiffers);
        m_host.SetProgressPos(static_cast<int>(100 * end / (lastBlock + 1)) + 5);
        block = end;
    }

    if (m_report.eepromBytes != 0) {
        const Heard heard = ReadWords(kSpaceEeprom, 0, kEepromBytes, words);
        if (heard == Heard::Abandoned) return Finish(FlashOutcome::Abandoned, nullptr);
        if (heard == Heard::Short) return Finish(FlashOutcome::Timeout, "Timeout!");
        for (uint32_t i = 0; i < kEepromBytes && m_nFirstDifference < 0; ++i)
            if (m_eeprom[i] >= 0 && (words[i] & 0xFF) != m_eeprom[i]) m_nFirstDifference = static_cast<int32_t>(kEepromWordAddress + i);
        if (m_nFirstDifference >= 0) return Finish(FlashOutcome::VerifyMismatch, kDiffers);
    }
    return Finish(FlashOutcome::Verified, kVerified);
}

int CFlashWriter::ReadChip()
{
    ResetRunState();
    m_nFailedBlock = -1;
    const FlashOutcome connected = Connect();
    if (connected != FlashOutcome::None) return Finish(connected, nullptr);
    if (!m_loader.Has(kCanRead)) return Finish(FlashOutcome::CannotRead, kReadRefused);

    const auto read = [this](uint8_t space, uint32_t first, uint32_t count, uint16_t* out) {
        for (uint32_t done = 0; done < count;) {
            const uint32_t part = std::min(count - done, kMaxReadWords);
            const Heard heard = ReadWords(space, first + done, part, out + done);
            if (heard != Heard::All) return heard;
            done += part;
            m_host.SetProgressPos(static_cast<int>(100 * (first + done) / m_loader.startWord) + 5);
        }
        return Heard::All;
    };
    m_read.words.assign(m_loader.startWord, 0x3FFF);
    uint16_t moved[4] = {};
    std::vector<uint16_t> eeprom(kEepromBytes, 0xFF);
    Heard heard = read(kSpaceProgram, 0, m_loader.startWord, m_read.words.data());
    if (heard == Heard::All) heard = read(kSpaceProgram, m_pChip->BootBoundary() / 2, 4, moved);
    if (heard == Heard::All) heard = read(kSpaceEeprom, 0, kEepromBytes, eeprom.data());
    if (heard == Heard::Abandoned) return Finish(FlashOutcome::Abandoned, nullptr);
    if (heard == Heard::Short) return Finish(FlashOutcome::Timeout, "Timeout!");
    for (size_t i = 0; i < 4; ++i) m_read.moved[i] = moved[i];
    for (uint16_t byte : eeprom) m_read.eeprom.push_back(static_cast<uint8_t>(byte));
    return Finish(FlashOutcome::ReadBack, kReadDone);
}
