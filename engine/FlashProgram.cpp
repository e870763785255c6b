#include "FlashWriter.h"
#include "ChipMismatch.h"
#include "WakeUp.h"
#include <algorithm>
#include <cstring>

namespace {
constexpr int kAnswerTicks = 2;      // for the chip's answer to the wake-up byte
constexpr int kRetryPauseTicks = 10; // before the next wake-up byte
constexpr int kBlockTicks = 150;     // for the answer to a block (3 s)
constexpr int kMaxSends = 10;        // per block

// m_nReplyState counts the "N"s a block has drawn, up to kMaxSends; these
// two end a block's loop at once, so they must lie above that count.
constexpr int32_t kStateRefused = kMaxSends;  // refused on every send
constexpr int32_t kStateNoAnswer = 20;
constexpr int32_t kStateAccepted = 30;
static_assert(kStateNoAnswer > kMaxSends && kStateAccepted > kMaxSends, "reply states overlap the refusal count");

const char kSearching[] = "Searching PIC!";
const char kUnexpected[] = "Unexpected responce form target";
const char kBootOverlap[] = "hex file address overlaps boot area. Programming aborted.";
const char kTimeout[] = "Timeout!";
const char kTransmission[] = "Transmission problem";
const char kSuccess[] = "Pic successfully programmed! ";

}  // namespace

bool CFlashWriter::IsErasedBlock(const uint8_t* block)
{
    return std::all_of(block, block + kBlockSize, [](uint8_t b) { return b == 0xFF; });
}

int CFlashWriter::Finish(FlashOutcome outcome, const char* status)
{
    m_outcome = outcome;
    // The next search (a bench's next board, a watch's next run) starts at
    // the base rate; the loader returns to it by itself.
    if (m_link && m_nBaud != LoaderWire::kBaseRate) m_link->SetRate(LoaderWire::kBaseRate);
    if (status) m_host.SetStatus(status);
    return outcome == FlashOutcome::Programmed ? 1 : 0;
}

int CFlashWriter::Program()
{
    m_nFailedBlock = -1;
    if (!m_pImage) return Finish(FlashOutcome::FileReadError, nullptr);
    if (!HasProgramData()) return Finish(FlashOutcome::NoProgramData, nullptr);
    const FlashOutcome connected = Connect();
    if (connected != FlashOutcome::None) return Finish(connected, connected == FlashOutcome::UnexpectedAnswer ? kUnexpected : nullptr);
    if (!PrepareImage()) return 0;
    const int written = WriteBlocks();
    if (!written) return written;
    if (!WriteEeprom()) return 0;
    m_host.Beep();
    return Finish(FlashOutcome::Programmed, kSuccess);
}

FlashOutcome CFlashWriter::Connect()
{
    m_loader = LoaderInfo();
    m_nBaud = LoaderWire::kBaseRate;
    uint8_t answer[2] = {0, 0};
    if (!SearchTarget(answer)) return FlashOutcome::Abandoned;

    m_pChip = FindChip(answer[0]);
    m_host.OnTargetAnswered(m_pChip);
    if (!m_pChip) return FlashOutcome::UnexpectedAnswer;
    m_host.SetStatus(m_pChip->foundText);
    m_nFlashWords = m_pChip->flashWords;
    m_bIsF819 = m_pChip->isF819 ? 1 : 0;
    const ChipInfo* builtFor = HasProgramData() ? ChipBuiltFor(m_report) : nullptr;
    if (builtFor && builtFor != m_pChip && !m_host.OnWrongChip(*builtFor, *m_pChip))
        return FlashOutcome::WrongChip;
    if (!AskLoader(answer[1])) return FlashOutcome::Abandoned;
    m_host.OnLoaderKnown(m_loader, HasProgramData() && m_report.eepromBytes != 0 && !m_loader.Has(LoaderWire::kCanWriteEeprom));
    if (!SwitchRate()) return FlashOutcome::Abandoned;
    return FlashOutcome::None;
}

// Wakes the bootloader until it answers; false when abandoned.
bool CFlashWriter::SearchTarget(uint8_t answer[2])
{
    m_host.OnSearchStarted();
    for (;;) {
        SendWakeUp(*m_link);
        m_host.SetStatus(kSearching);

        answer[0] = 0;
        m_nReplyState = 0;
        // A network line's round trip widens the window; a local port keeps it.
        m_host.SetCountdown(kAnswerTicks + AnswerSlackTicks(*m_link));
        // Both bytes, or the first of them. The first read comes after a pump
        // however short the countdown.
        bool first = true;
        const ListenResult heard = ListenForAnswer(*m_link, answer, [this, &first] {
            if (!first && m_host.GetCountdown() == 0) return ListenStep::TimeUp;
            first = false;
            return m_host.PumpMessages() ? ListenStep::Go : ListenStep::Abandon;
        });
        if (heard.abandoned) return false;
        m_nReplyState = static_cast<int32_t>(heard.got);

        bool answered = false;
        if (m_nReplyState == 1) {
            // Half an answer: give the second byte two more ticks, then go on
            // with what has come.
            m_host.SetCountdown(kAnswerTicks);
            m_nReplyState = 0;
            answer[1] = 0;
            do {
                if (!m_host.PumpMessages()) return false;
                if (m_link->Read(answer + 1, 1) == 1) m_nReplyState = 2;
            } while (m_nReplyState == 0 && m_host.GetCountdown() != 0);
            answered = true;
        } else {
            // An answer completed only as the countdown ran out is not trusted.
            answered = m_nReplyState == 2 && m_host.GetCountdown() != 0;
        }
        if (answered && (FindChip(answer[0]) || !m_host.OnForeignAnswer(answer))) return true;

        m_host.SetCountdown(kRetryPauseTicks);
        while (m_host.GetCountdown() != 0)
            if (!m_host.PumpMessages()) return false;
    }
}

uint32_t CFlashWriter::ProgramLimit() const
{
    const uint32_t boundary = m_pChip->BootBoundary();
    return m_loader.extended ? std::min(boundary, 2 * m_loader.startWord) : boundary;
}

bool CFlashWriter::PrepareImage()
{
    uint8_t* const image = m_pImage.get();
    const uint32_t limit = ProgramLimit();
    // The highest record's start is one measure; any byte loaded at or above
    // the limit is the other: a record may start below it and run into it.
    if (m_nHighAddr > limit || m_nLoadEnd > limit) {
        m_host.SetStatus("");
        m_host.ShowMessageBox(kBootOverlap, m_pChip->name);
        Finish(FlashOutcome::BootAreaOverlap, nullptr);
        return false;
    }

    // The program's own first four words move below the bootloader's entry,
    // mended where needed so that they still start the program from there;
    // address 0 jumps to the bootloader.
    m_resetCode = PlanResetCode(*m_pChip, ReadResetWords(image));
    StoreResetWords(m_resetCode.moved, image + m_pChip->BootBoundary());
    std::memcpy(image, m_pChip->jump, m_pChip->jumpSize);
    return true;
}

bool CFlashWriter::SendUntilTaken(uint32_t length, uint8_t sum, uint8_t& reply)
{
    m_nReplyState = 0;
    // Kept across attempts: silence after an "N" counts as another "N".
    reply = 0;
    do {
        SendFrame(m_frame, length, sum);
        m_host.SetCountdown(kBlockTicks);
        do {
            if (!m_host.PumpMessages()) return false;
        } while (m_link->Read(&reply, 1) <= 0 && m_host.GetCountdown() != 0);

        // "S" (already held) answers only our extended frames.
        if (reply == kAnswerAccepted || (reply == LoaderWire::kAnswerSame && sum == LoaderWire::kExtendedSum))
            m_nReplyState = kStateAccepted;
        else if (reply == kAnswerResend)
            ++m_nReplyState;
        else
            m_nReplyState = kStateNoAnswer;
    } while (m_nReplyState < kMaxSends);
    return true;
}

// 1 when the row was taken (counted as written or skipped), else the run's end.
int CFlashWriter::EndRowWrite(uint8_t reply, int32_t block)
{
    if (m_nReplyState == kStateNoAnswer || m_nReplyState == kStateRefused) {
        m_nFailedBlock = block;
        if (m_nReplyState == kStateNoAnswer) return Finish(FlashOutcome::Timeout, kTimeout);
        return Finish(FlashOutcome::TransmissionProblem, kTransmission);
    }
    ++(reply == LoaderWire::kAnswerSame ? m_nRowsSkipped : m_nRowsWritten);
    return 1;
}

int CFlashWriter::WriteBlocks()
{
    const uint8_t* const image = m_pImage.get();
    m_host.OnResetCode(m_resetCode);
    // A loader that can tell a row it already holds is sent each row as a
    // write-if-different, unless every row is to be written.
    const bool skipSame = m_loader.Has(LoaderWire::kCanSkipSame) && !m_options.fullWrite;

    // Every block that holds data, up to the one with the moved reset vector.
    const uint32_t lastBlock = m_pChip->VectorBlock();
    for (uint32_t block = 0; block <= lastBlock; ++block) {
        const uint32_t offset = block * kBlockSize;
        if (IsErasedBlock(image + offset)) continue;

        m_frame[0] = static_cast<uint8_t>(offset >> 9);
        m_frame[1] = static_cast<uint8_t>(offset >> 1);
        m_frame[2] = skipSame ? uint8_t{LoaderWire::kWriteIfDifferent} : static_cast<uint8_t>(kBlockSize);
        std::memcpy(m_frame + kFrameHeaderSize, image + offset, kBlockSize);
        uint8_t reply = 0;
        if (!SendUntilTaken(kFrameHeaderSize + kBlockSize, skipSame ? LoaderWire::kExtendedSum : 0, reply))
            return Finish(FlashOutcome::Abandoned, nullptr);
        if (!EndRowWrite(reply, static_cast<int32_t>(block))) return 0;
    }
    return 1;
}

// The file's data EEPROM, row by row, where the loader can write it: each
// byte the file gives, the others left alone.
int CFlashWriter::WriteEeprom()
{
    using namespace LoaderWire;
    if (!m_loader.Has(kCanWriteEeprom)) return 1;
    for (uint32_t row = 0; row < kEepromBytes; row += kEepromRowBytes) {
        const auto first = m_eeprom.begin() + row;
        if (std::all_of(first, first + kEepromRowBytes, [](int16_t b) { return b < 0; })) continue;
        m_frame[0] = 0;
        m_frame[1] = static_cast<uint8_t>(row);
        m_frame[2] = kWriteEeprom;
        for (uint32_t i = 0; i < kEepromRowBytes; ++i) {
            const int16_t byte = m_eeprom[row + i];
            m_frame[kFrameHeaderSize + 2 * i] = static_cast<uint8_t>(byte < 0 ? 0xFF : byte);
            m_frame[kFrameHeaderSize + 2 * i + 1] = byte < 0 ? kEepromKeep : 0;
        }
        uint8_t reply = 0;
        if (!SendUntilTaken(kFrameHeaderSize + kBlockSize, kExtendedSum, reply))
            return Finish(FlashOutcome::Abandoned, nullptr);
        // An EEPROM row that fails is named by its word address (0x2100 on).
        if (!EndRowWrite(reply, static_cast<int32_t>(2 * (kEepromWordAddress + row) / kBlockSize))) return 0;
    }
    return 1;
}
