#include "HexOnce.h"

#include "ChipMismatch.h"
#include "FlashWriter.h"
#include "Sha256.h"

namespace {

// Every byte of the file goes through the hash exactly once, also the one
// the loader looks at, puts back and takes again.
class HashingSource : public IByteSource {
public:
    explicit HashingSource(IByteSource& inner) : m_inner(inner) {}
    int Get() override
    {
        const int c = m_inner.Get();
        if (c >= 0 && !m_putBack) {
            const uint8_t byte = static_cast<uint8_t>(c);
            m_hash.Add(&byte, 1);
        }
        m_putBack = false;
        return c;
    }
    void Unget(int c) override
    {
        m_inner.Unget(c);
        m_putBack = c >= 0;
    }
    bool Failed() const override { return m_inner.Failed(); }

    // Hashes what the loader left unread; the digest of the whole file.
    std::string Finish()
    {
        while (Get() >= 0) {
        }
        return m_hash.HexDigest();
    }

private:
    IByteSource& m_inner;
    Sha256 m_hash;
    bool m_putBack = false;
};

} // namespace

bool LoadHexOnce(const std::string& path, IFlashHost& host, LoadedHex& image, std::string& sha256,
                 std::string& error)
{
    CHexFile file;
    if (!file.Open(path)) {
        error = "Can't open file " + path + (file.ErrorText().empty() ? "" : ": " + file.ErrorText());
        return false;
    }
    HashingSource source(file);
    const FlashOutcome failed = CFlashWriter::LoadKept(source, host, image);
    sha256 = source.Finish();
    if (failed == FlashOutcome::FileRefused) {
        error = FileRefusalText(path, image.report);
        return false;
    }
    if (failed != FlashOutcome::None || file.Failed()) {
        error = "Can't read file " + path;
        return false;
    }
    if (image.loadEnd == 0) {
        // Every board would be left as it is: say so once, before any port.
        error = "No program data in file " + path;
        return false;
    }
    return true;
}

std::string FileRefusalText(const std::string& path, const HexLoadReport& report)
{
    return "fernbow-cli: refused " + path + ": " + FileFaultsText(report) +
           "; nothing was written (--force writes it all the same)";
}

std::string WrongChipRefusalText(const ChipInfo& builtFor, const ChipInfo& target)
{
    return "fernbow-cli: refused the file: " + WrongChipText(builtFor, target) +
           "; nothing was written (--force writes it all the same)";
}
