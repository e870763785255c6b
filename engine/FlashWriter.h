#pragma once
#include "ByteSource.h"
#include "ChipContent.h"
#include "ChipTable.h"
#include "FlashHost.h"
#include "FlashOutcome.h"
#include "HexFile.h"
#include "LoadedHex.h"
#include "LoaderWire.h"
#include "SerialLink.h"
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// How a run uses a bootloader that knows more than the inherited dialogue.
struct FlashRunOptions {
    bool fullWrite = false;  // write every row, even one the chip already holds
    int maxBaud = 0;         // the fastest line rate to switch to; 0: as fast as both ends go
};

// The programming engine: loads an Intel HEX file into the image, finds the
// bootloader and writes the image to it block by block.
class CFlashWriter {
public:
    CFlashWriter(ISerialLink& link, IFlashHost& host);
    CFlashWriter(const CFlashWriter&) = delete;
    CFlashWriter& operator=(const CFlashWriter&) = delete;

    // 1 when the file is open for the next LoadHexAndProgram, 0 when not
    // (HexFileError() then says why).
    int OpenHexFile(const std::string& fileName);
    const std::string& HexFileError() const { return m_file.ErrorText(); }
    // Loads the open file into a fresh image, closes the file, runs Program
    // and frees the image. LastOutcome() tells how it went.
    void LoadHexAndProgram();
    // Same, reading from any byte stream (the file is not involved).
    void LoadAndProgram(IByteSource& source);

    // Parses source into a fresh image without programming. false when the
    // stream failed, no image could be allocated or the host abandoned the
    // load (then no image is kept and LastOutcome() says which).
    bool LoadHex(IByteSource& source);
    // Searches and identifies the target, then writes the loaded image.
    // 1 when the whole image has been written, 0 otherwise. An image without
    // a byte of program data is not written at all: whatever the chip holds
    // is worth more than a jump to the bootloader.
    int Program();
    // Frees the image.
    void ReleaseImage() { m_pImage.reset(); }

    // Load once, program many (production benches). LoadAndKeep parses
    // source like LoadHex, copies the result into kept, frees its own image
    // and tells the host (OnHexLoaded, when there is program data); false as
    // LoadHex, or when the host refused the file (LastOutcome() FileRefused). ProgramKept programs a fresh copy of kept exactly as Program
    // programs a loaded image, then frees the copy; kept is never changed.
    bool LoadAndKeep(IByteSource& source, LoadedHex& kept);
    int ProgramKept(const LoadedHex& kept);

    // Loads source into kept with no line at all (a bench reads the file
    // once, before any port is open). FlashOutcome::None when kept holds the
    // file, otherwise why not (FileReadError, Abandoned, FileRefused), as
    // LoadAndKeep.
    static FlashOutcome LoadKept(IByteSource& source, IFlashHost& host, LoadedHex& kept);

    // Verifies the chip against a fresh copy of kept, writing nothing:
    // Verified, VerifyMismatch (FirstDifference), CannotRead, or how the run
    // failed. 1 when equal.
    int VerifyKept(const LoadedHex& kept);
    // Reads the chip (ChipRead): ReadBack, CannotRead, or how the run
    // failed. 1 when read.
    int ReadChip();

    void SetRunOptions(const FlashRunOptions& options) { m_options = options; }
    // What the bootloader of the last run said of itself.
    const LoaderInfo& Loader() const { return m_loader; }
    // The line rate the last run used at its end (before the port went back to 19200).
    int Baud() const { return m_nBaud; }
    // Rows (and EEPROM rows) the last write wrote, and those the chip already held.
    int32_t RowsWritten() const { return m_nRowsWritten; }
    int32_t RowsSkipped() const { return m_nRowsSkipped; }
    // The first word address (0x2100 on: data EEPROM) where the chip
    // differed from the file in the last verify; -1 when none.
    int32_t FirstDifference() const { return m_nFirstDifference; }
    const ChipContent& ChipRead() const { return m_read; }

    FlashOutcome LastOutcome() const { return m_outcome; }
    const ChipInfo* Chip() const { return m_pChip; }
    uint32_t HighAddr() const { return m_nHighAddr; }
    uint32_t HighCount() const { return m_nHighCount; }
    uint32_t TotalBytes() const { return m_nTotalBytes; }
    const HexLoadReport& LoadReport() const { return m_report; }
    bool HasProgramData() const { return m_nLoadEnd != 0; }
    int32_t BytesSent() const { return m_nBytesSent; }
    int32_t PayloadSent() const { return m_nPayloadSent; }
    int32_t LastPercent() const { return m_nLastPercent; }
    int32_t ReplyState() const { return m_nReplyState; }
    // The block (image byte offset / 64) the last run ended on with a
    // "Timeout!" or "Transmission problem"; -1 after any other end.
    int32_t FailedBlock() const { return m_nFailedBlock; }
    // What the last run placed below the bootloader's entry (the default
    // report, which warns of nothing, until a run got that far).
    const ResetCodeReport& LastResetCode() const { return m_resetCode; }
    // The image while one is loaded (nullptr otherwise), kImageSize bytes.
    const uint8_t* Image() const { return m_pImage.get(); }

private:
    friend struct FlashWriterTestAccess;
    // Only for loading: no line to program through.
    explicit CFlashWriter(IFlashHost& host);

    // Appends the checksum after length bytes of frame, writes length + 1
    // bytes and advances the progress. Returns 1.
    int SendFrame(uint8_t* frame, uint32_t length, uint8_t sum = 0);
    uint8_t HexPairToByte(const char* pair) const;
    // A 64-byte image block with nothing loaded in it: never sent, never compared.
    static bool IsErasedBlock(const uint8_t* block);
    // A fresh copy of kept as the loaded image; false when none can be had.
    bool TakeKept(const LoadedHex& kept);
    // Zeroes the counters and measures of a run and resets the progress bar.
    void ResetRunState();
    enum class RecordCheck { Sound, WrongChecksum, Malformed };
    bool ParseRecords(IByteSource& source);
    uint32_t ReadRecordText(IByteSource& source, char* text);
    RecordCheck CheckRecord(const char* text, uint32_t length, uint8_t* data) const;
    void NoteBadRecord(uint32_t line);
    bool StoreData(uint32_t address, uint32_t count, const uint8_t* data);
    bool StoreEeprom(uint32_t address, uint32_t count, const uint8_t* data);
    bool SearchTarget(uint8_t answer[2]);
    // Search, identify, and learn what the loader can do; FlashOutcome::None
    // when the chip is ready for the job.
    FlashOutcome Connect();
    // The image as a write sends it: reset code moved, jump at 0. false
    // (outcome set) when the program reaches into the loader's area.
    bool PrepareImage();
    int WriteBlocks();
    int WriteEeprom();
    // Sends frame until it draws an answer other than "N" (kMaxSends at
    // most); the answer, or 0 for none. false when abandoned.
    bool SendUntilTaken(uint32_t length, uint8_t sum, uint8_t& reply);
    int EndRowWrite(uint8_t reply, int32_t block);
    // Extended dialogue (LoaderWire).
    bool AskLoader(uint8_t version);
    bool SwitchRate();
    bool WakeAgainAtBaseRate();
    enum class Heard { All, Short, Abandoned };
    // Reads count bytes within ticks (the link's answer slack added).
    Heard Await(uint8_t* bytes, uint32_t count, int ticks);
    // Words (or EEPROM bytes) from address into out; Heard::Short after
    // three tries that all failed.
    Heard ReadWords(uint8_t space, uint32_t address, uint32_t count, uint16_t* out);
    int TicksFor(uint32_t bytes) const;
    // One past the highest image byte a program may hold: the loader's area starts there.
    uint32_t ProgramLimit() const;
    int Finish(FlashOutcome outcome, const char* status);

    ISerialLink* m_link;  // nullptr only in a loader (LoadKept)
    IFlashHost& m_host;

    uint8_t m_bIsF819 = 0;
    int32_t m_nFlashWords = 0;
    uint32_t m_nLoadAddr = 0;
    int32_t m_nReplyState = 0;
    uint32_t m_nHighCount = 0;
    uint8_t m_frame[256] = {};
    uint32_t m_nHighAddr = 0;
    int32_t m_nLastPercent = 0;
    int32_t m_nPayloadSent = 0;
    uint32_t m_nTotalBytes = 0;
    std::unique_ptr<uint8_t[]> m_pImage;
    int32_t m_nBytesSent = 0;
    CHexFile m_file;

    // One past the highest image offset a record stored a byte at (0: none).
    uint32_t m_nLoadEnd = 0;
    // Added to a data record's address: set by extended address records.
    uint32_t m_nAddressBase = 0;
    HexLoadReport m_report;
    // The image bytes (below 0x4000) that a record of this load has set.
    std::bitset<0x4000> m_stored;
    const ChipInfo* m_pChip = nullptr;
    ResetCodeReport m_resetCode;
    FlashOutcome m_outcome = FlashOutcome::None;
    int32_t m_nFailedBlock = -1;

    FlashRunOptions m_options;
    LoaderInfo m_loader;
    int m_nBaud = LoaderWire::kBaseRate;
    int32_t m_nRowsWritten = 0;
    int32_t m_nRowsSkipped = 0;
    int32_t m_nFirstDifference = -1;
    ChipContent m_read;
    // Data EEPROM from the file: the byte, or -1 where the file gives none.
    std::vector<int16_t> m_eeprom;
};
