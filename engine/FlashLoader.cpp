#include "FlashWriter.h"
#include <algorithm>
#include <cstring>
#include <new>

namespace {
constexpr uint32_t kHeaderChars = 8;
// ID locations (0x4000), configuration words (0x400E) and EEPROM data
// (0x4200) sit here and above: the bootloader cannot write them.
constexpr uint32_t kHighestRecordAddress = 0x4000;
// CONFIG2 (word 0x2008): only the PIC16F88 has it.
constexpr uint32_t kConfig2Address = 0x4010;
// Data EEPROM: one byte a word (the high byte means nothing), 256 bytes.
constexpr uint32_t kEepromAddress = 2 * LoaderWire::kEepromWordAddress;
constexpr uint32_t kEepromEnd = kEepromAddress + 2 * LoaderWire::kEepromBytes;
constexpr uint32_t kMaxRecordBytes = 255;
// Header, the most data a count byte can declare, checksum.
constexpr uint32_t kMaxRecordChars = kHeaderChars + 2 * kMaxRecordBytes + 2;
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

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool AllHexDigits(const char* chars, uint32_t count)
{
    return std::all_of(chars, chars + count, IsHexDigit);
}

// Passes a source through, asking the host now and then whether to go on:
// a long load ends as soon as the window is closed or Ctrl-C is pressed.
class AbandonableSource : public IByteSource {
public:
    AbandonableSource(IByteSource& inner, IFlashHost& host) : m_inner(inner), m_host(host) {}
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

    AbandonableSource guarded(source, m_host);
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
    m_eeprom.assign(LoaderWire::kEepromBytes, -1);
    m_nRowsWritten = 0;
    m_nRowsSkipped = 0;
    m_nFirstDifference = -1;
    m_read = ChipContent();
    m_pChip = nullptr;
    m_outcome = FlashOutcome::None;
    m_resetCode = ResetCodeReport();
    m_host.SetProgressPos(0);
}

// Returns false only when the source failed; the end of the data or an end
// record end the parse normally. A record is read from its colon to the end
// of its line (or the next colon): it never takes characters of the next one.
bool CFlashWriter::ParseRecords(IByteSource& source)
{
    char text[kMaxRecordChars];
    uint8_t data[kMaxRecordBytes];
    uint32_t line = 1;
    m_stored.reset();
    for (;;) {
        // Everything up to the next colon is skipped: line ends, blanks, comments.
        int c;
        while ((c = source.Get()) >= 0 && c != ':')
            if (c == '\n') ++line;
        if (c < 0) {
            // No end record: cut short, or never finished (real tools always write one).
            m_report.missingEndRecord = true;
            break;
        }

        const uint32_t length = ReadRecordText(source, text);
        const RecordCheck check = CheckRecord(text, length, data);
        if (check == RecordCheck::Malformed) {
            NoteBadRecord(line);
            continue;
        }
        const uint32_t count = HexPairToByte(text);
        const uint8_t type = HexPairToByte(text + 6);
        m_nTotalBytes += count;
        if (check == RecordCheck::WrongChecksum) NoteBadRecord(line);
        if (type == kEndOfFile) {
            // A long highest record may reach past its start by more than
            // one block; account for the part beyond the first 64 bytes.
            if (m_nHighCount > 64) m_nHighAddr += m_nHighCount - 64;
            break;
        }

        const uint32_t field = 256u * HexPairToByte(text + 2) + HexPairToByte(text + 4);
        switch (type) {
        case kData:
            // A record is counted once, however many faults it has.
            if (StoreData(m_nAddressBase + field, count, data) && check != RecordCheck::WrongChecksum)
                NoteBadRecord(line);
            break;
        case kExtendedSegmentAddress:
        case kExtendedLinearAddress:
            if (count != 2) {
                if (check != RecordCheck::WrongChecksum) NoteBadRecord(line);
                break;
            }
            m_nAddressBase = (256u * data[0] + data[1]) << (type == kExtendedLinearAddress ? 16 : 4);
            break;
        case kStartSegmentAddress:
        case kStartLinearAddress:
            break;  // where execution starts means nothing to this chip
        default:
            if (check != RecordCheck::WrongChecksum) NoteBadRecord(line);
            break;
        }
    }
    return !source.Failed();
}

void CFlashWriter::NoteBadRecord(uint32_t line)
{
    if (m_report.badRecords++ == 0) m_report.firstBadLine = line;
}

// Reads the characters after a record's colon up to its line end, the next
// colon (put back: it opens the next record) or the end of the input, and
// keeps the first kMaxRecordChars of them. Trailing blanks are dropped.
// Returns how many characters the record has (more than kept when the line
// is longer than any record can be).
uint32_t CFlashWriter::ReadRecordText(IByteSource& source, char* text)
{
    uint32_t length = 0;
    for (;;) {
        const int c = source.Get();
        if (c < 0) break;
        if (c == ':' || c == '\n' || c == '\r') {
            source.Unget(c);  // the line end is counted by the caller
            break;
        }
        if (length < kMaxRecordChars) text[length] = static_cast<char>(c);
        ++length;
    }
    while (length > 0 && length <= kMaxRecordChars && (text[length - 1] == ' ' || text[length - 1] == '\t'))
        --length;
    return length;
}

// Decodes a record's text into data. Malformed (nothing of it is stored):
// a header that is not 8 hex digits, fewer or more digits than its count
// byte declares, a character that is not a hex digit among them. A record
// whose only fault is its checksum (wrong, not hex, missing) is kept.
CFlashWriter::RecordCheck CFlashWriter::CheckRecord(const char* text, uint32_t length, uint8_t* data) const
{
    if (length < kHeaderChars || !AllHexDigits(text, kHeaderChars)) return RecordCheck::Malformed;
    const uint32_t count = HexPairToByte(text);
    const uint32_t dataEnd = kHeaderChars + 2 * count;
    if (length < dataEnd || length > dataEnd + 2 || !AllHexDigits(text + kHeaderChars, 2 * count))
        return RecordCheck::Malformed;
    uint8_t sum = 0;
    for (uint32_t i = 0; i < 4; ++i) sum = static_cast<uint8_t>(sum + HexPairToByte(text + 2 * i));
    for (uint32_t i = 0; i < count; ++i) {
        data[i] = HexPairToByte(text + kHeaderChars + 2 * i);
        sum = static_cast<uint8_t>(sum + data[i]);
    }
    if (length != dataEnd + 2 || !AllHexDigits(text + dataEnd, 2) ||
        static_cast<uint8_t>(sum + HexPairToByte(text + dataEnd)) != 0)
        return RecordCheck::WrongChecksum;
    return RecordCheck::Sound;
}

// Stores the count bytes of a data record at their byte address. A record
// at or above 0x4000 is left out whole (counted, but neither stored nor
// taken as the highest record); the load goes on after it. true when the
// record gives a byte that an earlier record set another value: the later
// value is kept, and the file is not what its build meant. An overlap that
// repeats the same values is no fault.
bool CFlashWriter::StoreData(uint32_t address, uint32_t count, const uint8_t* data)
{
    m_nLoadAddr = address;
    if (address >= kEepromAddress && address + count <= kEepromEnd)
        return StoreEeprom(address, count, data);
    if (address >= kHighestRecordAddress) {
        ++m_report.skippedHighRecords;
        if (address < kConfig2Address + 2 && address + count > kConfig2Address) m_report.setsConfig2 = true;
        return false;
    }
    if (address > m_nHighAddr) {
        m_nHighAddr = address;
        m_nHighCount = count;
    }
    // A record that starts below 0x4000 and runs past it is refused later
    // for reaching into the bootloader; its bytes up there are never kept.
    const uint32_t end = std::min(address + count, kHighestRecordAddress);
    bool conflicts = false;
    for (uint32_t at = address; at < end; ++at) {
        const uint8_t value = data[at - address];
        conflicts |= m_stored[at] && m_pImage[at] != value;
        m_stored[at] = true;
        m_pImage[at] = value;
    }
    if (address < end) m_nLoadEnd = std::max(m_nLoadEnd, end);
    m_nLoadAddr = address + count;
    return conflicts;
}

// Data EEPROM bytes sit at the even byte addresses from 0x4200. true, as
// StoreData, when a byte was given another value before.
bool CFlashWriter::StoreEeprom(uint32_t address, uint32_t count, const uint8_t* data)
{
    bool conflicts = false;
    for (uint32_t at = address; at < address + count; ++at) {
        if ((at - kEepromAddress) % 2 != 0)
            continue;
        int16_t& byte = m_eeprom[(at - kEepromAddress) / 2];
        conflicts |= byte >= 0 && byte != data[at - address];
        if (byte < 0)
            ++m_report.eepromBytes;
        byte = data[at - address];
    }
    return conflicts;
}
