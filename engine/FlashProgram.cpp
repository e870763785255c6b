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

bool IsErased(const uint8_t* block)
{
    return std::all_of(block, block + kBlockSize, [](uint8_t b) { return b == 0xFF; });
}
}  // namespace

int CFlashWriter::Finish(FlashOutcome outcome, const char* status)
{
    m_outcome = outcome;
    if (status) m_host.SetStatus(status);
    return outcome == FlashOutcome::Programmed ? 1 : 0;
}

int CFlashWriter::Program()
{
    m_nFailedBlock = -1;
    if (!m_pImage) return Finish(FlashOutcome::FileReadError, nullptr);
    if (!HasProgramData()) return Finish(FlashOutcome::NoProgramData, nullptr);

    uint8_t answer[2] = {0, 0};
    if (!SearchTarget(answer)) return Finish(FlashOutcome::Abandoned, nullptr);

    m_pChip = FindChip(answer[0]);
    m_host.OnTargetAnswered(m_pChip);
    if (!m_pChip) return Finish(FlashOutcome::UnexpectedAnswer, kUnexpected);
    m_host.SetStatus(m_pChip->foundText);
    m_nFlashWords = m_pChip->flashWords;
    m_bIsF819 = m_pChip->isF819 ? 1 : 0;
    const ChipInfo* builtFor = ChipBuiltFor(m_report);
    if (builtFor && builtFor != m_pChip && !m_host.OnWrongChip(*builtFor, *m_pChip))
        return Finish(FlashOutcome::WrongChip, nullptr);
    return WriteBlocks();
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

int CFlashWriter::WriteBlocks()
{
    uint8_t* const image = m_pImage.get();
    const uint32_t boundary = m_pChip->BootBoundary();

    // The highest record's start is one measure; any byte loaded at or above
    // the boundary is the other: a record may start below it and run into it.
    if (m_nHighAddr > boundary || m_nLoadEnd > boundary) {
        m_host.SetStatus("");
        m_host.ShowMessageBox(kBootOverlap, m_pChip->name);
        return Finish(FlashOutcome::BootAreaOverlap, nullptr);
    }

    // The program's own first four words move below the bootloader's entry,
    // mended where needed so that they still start the program from there;
    // address 0 jumps to the bootloader.
    m_resetCode = PlanResetCode(*m_pChip, ReadResetWords(image));
    StoreResetWords(m_resetCode.moved, image + boundary);
    std::memcpy(image, m_pChip->jump, m_pChip->jumpSize);
    m_host.OnResetCode(m_resetCode);

    // Every block that holds data, up to the one with the moved reset vector.
    const uint32_t lastBlock = m_pChip->VectorBlock();
    for (uint32_t block = 0; block <= lastBlock; ++block) {
        const uint32_t offset = block * kBlockSize;
        if (IsErased(image + offset)) continue;

        m_frame[0] = static_cast<uint8_t>(offset >> 9);
        m_frame[1] = static_cast<uint8_t>(offset >> 1);
        m_frame[2] = static_cast<uint8_t>(kBlockSize);
        std::memcpy(m_frame + kFrameHeaderSize, image + offset, kBlockSize);
        m_nReplyState = 0;
        // Kept across attempts: silence after an "N" counts as another "N".
        uint8_t reply = 0;
        do {
            SendFrame(m_frame, kFrameHeaderSize + kBlockSize);
            m_host.SetCountdown(kBlockTicks);
            do {
                if (!m_host.PumpMessages()) return Finish(FlashOutcome::Abandoned, nullptr);
            } while (m_link->Read(&reply, 1) <= 0 && m_host.GetCountdown() != 0);

            if (reply == kAnswerAccepted)
                m_nReplyState = kStateAccepted;
            else if (reply == kAnswerResend)
                ++m_nReplyState;
            else
                m_nReplyState = kStateNoAnswer;
        } while (m_nReplyState < kMaxSends);

        if (m_nReplyState == kStateNoAnswer || m_nReplyState == kStateRefused) {
            m_nFailedBlock = static_cast<int32_t>(block);
            if (m_nReplyState == kStateNoAnswer) return Finish(FlashOutcome::Timeout, kTimeout);
            return Finish(FlashOutcome::TransmissionProblem, kTransmission);
        }
    }

    m_host.Beep();
    return Finish(FlashOutcome::Programmed, kSuccess);
}
