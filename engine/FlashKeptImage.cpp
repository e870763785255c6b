// Load once, program many: the production-bench entry points of CFlashWriter.
#include "FlashWriter.h"
#include <cstring>
#include <new>

bool CFlashWriter::LoadAndKeep(IByteSource& source, LoadedHex& kept)
{
    if (!LoadHex(source)) return false;
    kept.image.assign(m_pImage.get(), m_pImage.get() + kImageSize);
    kept.highAddr = m_nHighAddr;
    kept.highCount = m_nHighCount;
    kept.totalBytes = m_nTotalBytes;
    kept.loadEnd = m_nLoadEnd;
    kept.report = m_report;
    kept.eeprom = m_eeprom;
    ReleaseImage();
    if (kept.loadEnd != 0 && !m_host.OnHexLoaded(kept.report)) {
        m_outcome = FlashOutcome::FileRefused;
        return false;
    }
    return true;
}

FlashOutcome CFlashWriter::LoadKept(IByteSource& source, IFlashHost& host, LoadedHex& kept)
{
    CFlashWriter loader(host);
    return loader.LoadAndKeep(source, kept) ? FlashOutcome::None : loader.LastOutcome();
}

bool CFlashWriter::TakeKept(const LoadedHex& kept)
{
    if (kept.image.size() != kImageSize) return false;
    ResetRunState();
    m_pImage.reset(new (std::nothrow) uint8_t[kImageSize]);
    if (!m_pImage) return false;
    std::memcpy(m_pImage.get(), kept.image.data(), kImageSize);
    m_nHighAddr = kept.highAddr;
    m_nHighCount = kept.highCount;
    m_nTotalBytes = kept.totalBytes;
    m_nLoadEnd = kept.loadEnd;
    m_report = kept.report;
    m_eeprom = kept.eeprom;
    m_eeprom.resize(LoaderWire::kEepromBytes, -1);
    return true;
}

int CFlashWriter::ProgramKept(const LoadedHex& kept)
{
    if (!TakeKept(kept)) return Finish(FlashOutcome::FileReadError, nullptr);
    const int result = Program();
    ReleaseImage();
    return result;
}
