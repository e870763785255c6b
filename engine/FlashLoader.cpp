#include "FlashWriter.h"
#include <algorithm>
#include <cstring>
#include <new>

namespace {
constexpr uint32_t kHeaderChars = 8;
// Records at higher addresses (configuration words, EEPROM data) end the load.
constexpr uint32_t kHighestRecordAddress = 0x4000;

// Reads up to count characters; returns how many came.
uint32_t ReadChars(IByteSource& source, uint8_t* into, uint32_t count)
{
    uint32_t got = 0;
    while (got < count) {
        const int c = source.Get();
        if (c < 0) break;
        into[got++] = static_cast<uint8_t>(c);
    }
    return got;
}
}  // namespace

bool CFlashWriter::LoadHex(IByteSource& source)
{
    m_pImage.reset(new (std::nothrow) uint8_t[kImageSize]);
    if (!m_pImage) return false;
    std::memset(m_pImage.get(), 0xFF, kImageSize);
    ResetRunState();

    if (!ParseRecords(source)) {
        ReleaseImage();
        return false;
    }
    return true;
}

void CFlashWriter::ResetRunState()
{
    m_nBytesSent = 0;
    m_nTotalBytes = 0;
    m_nPayloadSent = 0;
    m_nLastPercent = 0;
    m_nHighAddr = 0;
    m_nHighCount = 0;
    m_nLoadEnd = 0;
    m_nBadChecksums = 0;
    m_pChip = nullptr;
    m_outcome = FlashOutcome::None;
    m_host.SetProgressPos(0);
}

// Returns false only when the source failed; the end of the data, an end
// record or a record above 0x4000 all end the parse normally.
bool CFlashWriter::ParseRecords(IByteSource& source)
{
    char* const text = reinterpret_cast<char*>(m_frame);
    for (;;) {
        // Everything up to the next colon is skipped: line ends, blanks, comments.
        int c;
        do {
            c = source.Get();
        } while (c >= 0 && c != ':');
        if (c < 0) break;

        const uint32_t headerChars = ReadChars(source, m_frame, kHeaderChars);
        if (headerChars < 2) break;
        const uint32_t count = HexPairToByte(text);
        m_nTotalBytes += count;
        if (headerChars < kHeaderChars) break;  // cut short inside the header

        if (m_frame[7] == '1') {
            // End record. A long highest record may reach past its start by
            // more than one block; account for the part beyond the first 64 bytes.
            if (m_nHighCount > 64) m_nHighAddr += m_nHighCount - 64;
            break;
        }

        const uint32_t address = 256u * HexPairToByte(text + 2) + HexPairToByte(text + 4);
        m_nLoadAddr = address;
        if (address > kHighestRecordAddress) break;
        if (address > m_nHighAddr) {
            m_nHighAddr = address;
            m_nHighCount = count;
        }

        uint8_t sum = static_cast<uint8_t>(count + HexPairToByte(text + 2) + HexPairToByte(text + 4) +
                                           HexPairToByte(text + 6));
        if (count == 0) {
            CheckRecordChecksum(source, sum);
            continue;
        }
        if (!ReadRecordData(source, count, sum)) break;
        CheckRecordChecksum(source, sum);
    }
    return !source.Failed();
}

// Stores the record's data bytes at m_nLoadAddr, reading them in pieces that
// fit the line buffer. false when the data were cut short by the end of the
// input: the complete bytes before the cut are kept.
bool CFlashWriter::ReadRecordData(IByteSource& source, uint32_t count, uint8_t& sum)
{
    const char* const text = reinterpret_cast<const char*>(m_frame);
    uint32_t remaining = count;
    while (remaining > 0) {
        const uint32_t bytes = std::min<uint32_t>(remaining, sizeof m_frame / 2);
        const uint32_t got = ReadChars(source, m_frame, 2 * bytes);
        for (uint32_t i = 0; i + 1 < got; i += 2) {
            const uint8_t value = HexPairToByte(text + i);
            // Addresses stop at 0x4000 and counts at 255, so this always fits;
            // the check keeps it so whatever changes above.
            if (m_nLoadAddr < kImageSize) {
                m_pImage[m_nLoadAddr] = value;
                m_nLoadEnd = std::max(m_nLoadEnd, m_nLoadAddr + 1);
            }
            ++m_nLoadAddr;
            sum = static_cast<uint8_t>(sum + value);
        }
        if (got < 2 * bytes) return false;
        remaining -= bytes;
    }
    return true;
}

// Counts a record whose checksum does not match (or is missing). The record
// stays loaded; front ends decide whether to warn.
void CFlashWriter::CheckRecordChecksum(IByteSource& source, uint8_t sum)
{
    char pair[2];
    for (char& ch : pair) {
        const int c = source.Get();
        if (c < 0 || c == ':') {
            source.Unget(c);
            ++m_nBadChecksums;
            return;
        }
        ch = static_cast<char>(c);
    }
    if (static_cast<uint8_t>(sum + HexPairToByte(pair)) != 0) ++m_nBadChecksums;
}
