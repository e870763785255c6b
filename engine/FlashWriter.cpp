#include "FlashWriter.h"

CFlashWriter::CFlashWriter(ISerialLink& link, IFlashHost& host) : m_link(&link), m_host(host) {}

CFlashWriter::CFlashWriter(IFlashHost& host) : m_link(nullptr), m_host(host) {}

int CFlashWriter::OpenHexFile(const std::string& fileName)
{
    return m_file.Open(fileName) ? 1 : 0;
}

void CFlashWriter::LoadHexAndProgram()
{
    LoadAndProgram(m_file);
    m_file.Close();
}

void CFlashWriter::LoadAndProgram(IByteSource& source)
{
    const bool loaded = LoadHex(source);
    // The file is not needed once its records are in the image.
    m_file.Close();
    if (!loaded) return;
    if (HasProgramData() && !m_host.OnHexLoaded(m_report))
        m_outcome = FlashOutcome::FileRefused;
    else
        Program();
    ReleaseImage();
}

uint8_t CFlashWriter::HexPairToByte(const char* pair) const
{
    // Deliberately lenient: every character yields some digit, none is refused.
    auto digit = [](char c) {
        uint8_t d = static_cast<uint8_t>(static_cast<uint8_t>(c) - 0x30);
        if (d > 9) d = static_cast<uint8_t>(d - 7);
        return static_cast<uint8_t>(d & 0x0F);
    };
    return static_cast<uint8_t>(16 * digit(pair[0]) + digit(pair[1]));
}

int CFlashWriter::SendFrame(uint8_t* frame, uint32_t length, uint8_t sum)
{
    length &= 0xFF;
    uint8_t total = 0;
    for (uint32_t i = 0; i < length; ++i) total = static_cast<uint8_t>(total + frame[i]);
    // The last byte makes the frame's bytes add up to sum (0 for a block frame).
    frame[length] = static_cast<uint8_t>(sum - total);

    m_link->Write(frame, length + 1);

    m_nPayloadSent += static_cast<int32_t>(length) - static_cast<int32_t>(kFrameHeaderSize);
    m_nBytesSent += static_cast<int32_t>(length) + 1;

    // Nothing loaded means nothing to measure against: call it done.
    const uint32_t percent = m_nTotalBytes == 0
        ? 100u
        : static_cast<uint32_t>(static_cast<uint64_t>(static_cast<uint32_t>(m_nPayloadSent)) * 100u / m_nTotalBytes);
    // Moves in steps of two percent or more; a fall always shows.
    if (percent - static_cast<uint32_t>(m_nLastPercent) > 1u) {
        m_nLastPercent = static_cast<int32_t>(percent);
        m_host.SetProgressPos(static_cast<int>(percent) + 5);
    }
    return 1;
}
