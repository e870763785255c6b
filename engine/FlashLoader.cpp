#include "FlashWriter.h"
#include <algorithm>
#include <cstring>
#include <new>

namespace {
constexpr uint32_t kHeaderChars = 8;
// ID locations (0x4000), configuration words (0x400E) and EEPROM data
// (0x4200) sit here and above: the bootloader cannot write them.
constexpr uint32_t kHighestRecordAddress = 0x4000;
constexpr uint32_t kMaxRecordBytes = 255;
// How many characters pass between two questions to the host whether the
// load may go on: one per buffer of the file.
constexpr uint32_t kCharsPerPump = 65536;

enum RecordType : uint8_t {
    kData = 0,
    kEndOfFile = 1,
    kExtendedSegmentAddress = 2,
    kStartSegmentAddress = 3,
    kExtendedLinearAddress = 4,
    kStartLinearAddress = 5,
};

bool IsHexDigit(uint8_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool AllHexDigits(const uint8_t* chars, uint32_t count)
{
    return std::all_of(chars, chars + count, IsHexDigit);
}

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

// Passes a source through, asking the host now and then whether to go on:
// a long load ends as soon as the window is closed or Ctrl-C is pressed.
class CAbandonableSource : public IByteSource {
public:
    CAbandonableSource(IByteSource& inner, IFlashHost& host) : m_inner(inner), m_host(host) {}
    int Get() override
    {
        if (m_abandoned) return -1;
        if (++m_chars == kCharsPerPump) {
            m_chars = 0;
            if (!m_host.PumpMessages()) {
                m_abandoned = true;
                return -1;
            }
        }
        return m_inner.Get();
    }
    void Unget(int c) override { m_inner.Unget(c); }
    bool Failed() const override { return m_inner.Failed(); }
    bool Abandoned() const { return m_abandoned; }

private:
    IByteSource& m_inner;
    IFlashHost& m_host;
    uint32_t m_chars = 0;
    bool m_abandoned = false;
};
}  // namespace

bool CFlashWriter::LoadHex(IByteSource& source)
{
    ResetRunState();
    m_pImage.reset(new (std::nothrow) uint8_t[kImageSize]);
    if (!m_pImage) {
        m_outcome = FlashOutcome::FileReadError;
        return false;
    }
    std::memset(m_pImage.get(), 0xFF, kImageSize);

    CAbandonableSource guarded(source, m_host);
    const bool read = ParseRecords(guarded);
    if (guarded.Abandoned() || !read) {
        m_outcome = guarded.Abandoned() ? FlashOutcome::Abandoned : FlashOutcome::FileReadError;
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
    m_nAddressBase = 0;
    m_report = HexLoadReport();
    m_pChip = nullptr;
    m_outcome = FlashOutcome::None;
    m_resetCode = ResetCodeReport();
    m_host.SetProgressPos(0);
}

// Returns false only when the source failed; the end of the data or an end
// record end the parse normally.
bool CFlashWriter::ParseRecords(IByteSource& source)
{
    const char* const text = reinterpret_cast<const char*>(m_frame);
    uint8_t data[kMaxRecordBytes];
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

        const uint8_t type = HexPairToByte(text + 6);
        if (type == kEndOfFile) {
            // A long highest record may reach past its start by more than
            // one block; account for the part beyond the first 64 bytes.
            if (m_nHighCount > 64) m_nHighAddr += m_nHighCount - 64;
            break;
        }

        bool malformed = !AllHexDigits(m_frame, kHeaderChars);
        const uint32_t field = 256u * HexPairToByte(text + 2) + HexPairToByte(text + 4);
        uint8_t sum = static_cast<uint8_t>(count + HexPairToByte(text + 2) + HexPairToByte(text + 4) + type);
        const uint32_t got = ReadRecordData(source, count, data, sum, malformed);
        const bool complete = got == count;
        // A record cut short by the end of the input keeps its complete bytes.
        if (complete && !ChecksumMatches(source, sum)) malformed = true;

        switch (type) {
        case kData:
            StoreData(m_nAddressBase + field, count, data, got);
            break;
        case kExtendedSegmentAddress:
        case kExtendedLinearAddress:
            if (count != 2) {
                malformed = true;
                break;
            }
            m_nAddressBase = (256u * data[0] + data[1]) << (type == kExtendedLinearAddress ? 16 : 4);
            break;
        case kStartSegmentAddress:
        case kStartLinearAddress:
            break;  // where execution starts means nothing to this chip
        default:
            malformed = true;
            break;
        }
        if (malformed) ++m_report.badRecords;
        if (!complete) break;
    }
    return !source.Failed();
}

// Decodes up to count data bytes into data, reading them in pieces that fit
// the line buffer, and adds them to sum; malformed is set when a character
// is not a hex digit. Returns how many bytes came whole (fewer than count
// when the input ended inside the record).
uint32_t CFlashWriter::ReadRecordData(IByteSource& source, uint32_t count, uint8_t* data, uint8_t& sum,
                                      bool& malformed)
{
    const char* const text = reinterpret_cast<const char*>(m_frame);
    uint32_t done = 0;
    while (done < count) {
        const uint32_t bytes = std::min<uint32_t>(count - done, sizeof m_frame / 2);
        const uint32_t got = ReadChars(source, m_frame, 2 * bytes);
        if (!AllHexDigits(m_frame, got)) malformed = true;
        for (uint32_t i = 0; i + 1 < got; i += 2) {
            data[done] = HexPairToByte(text + i);
            sum = static_cast<uint8_t>(sum + data[done++]);
        }
        if (got < 2 * bytes) break;
    }
    return done;
}

// Stores the got bytes a data record of count bytes brought (fewer when it
// was cut short) at their byte address. A record at or above 0x4000 is left
// out whole (counted, but neither stored nor taken as the highest record);
// the load goes on after it.
void CFlashWriter::StoreData(uint32_t address, uint32_t count, const uint8_t* data, uint32_t got)
{
    m_nLoadAddr = address;
    if (address >= kHighestRecordAddress) {
        ++m_report.skippedHighRecords;
        return;
    }
    if (address > m_nHighAddr) {
        m_nHighAddr = address;
        m_nHighCount = count;
    }
    // A record that starts below 0x4000 and runs past it is refused later
    // for reaching into the bootloader; its bytes up there are never kept.
    const uint32_t end = std::min(address + got, kHighestRecordAddress);
    if (address < end) {
        std::memcpy(m_pImage.get() + address, data, end - address);
        m_nLoadEnd = std::max(m_nLoadEnd, end);
    }
    m_nLoadAddr = address + got;
}

// true when the two characters after a record's data make its checksum
// come out right. A missing checksum (input ends, next record starts) does
// not, and is not consumed.
bool CFlashWriter::ChecksumMatches(IByteSource& source, uint8_t sum)
{
    uint8_t pair[2];
    for (uint8_t& ch : pair) {
        const int c = source.Get();
        if (c < 0 || c == ':') {
            source.Unget(c);
            return false;
        }
        ch = static_cast<uint8_t>(c);
    }
    return AllHexDigits(pair, 2) &&
           static_cast<uint8_t>(sum + HexPairToByte(reinterpret_cast<const char*>(pair))) == 0;
}
