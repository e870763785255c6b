#pragma once
#include "AppendFile.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// One board's line of the run log.
struct RunLogEntry {
    std::string port;      // as given (COM5, /dev/ttyUSB2)
    std::string device;    // the device it was opened as
    std::string chip;      // empty when no chip answered
    std::string outcome;   // "programmed", "timeout", ...
    double seconds = 0;
    int32_t bytesSent = 0;
    std::string note;      // a warning about the file or the run, if any
};

// --log FILE: a CSV file with a line per board, shared safely by the threads
// of one fernbow-cli and by other fernbow-cli processes.
class RunLog {
public:
    static const char* const kHeader;

    // Opens (or creates, with the header line) the log before anything is
    // programmed. hexFile and sha256 go into every line. A lock that another
    // process holds on the log is waited for a few seconds, until
    // *interrupted at most (see AppendFile::Open).
    bool Open(const std::string& path, const std::string& hexFile, const std::string& sha256, std::string& error,
              const std::atomic<bool>* interrupted = nullptr);
    // Appends entry, stamped with the UTC time now.
    bool Append(const RunLogEntry& entry, std::string& error);

    // The line for entry at utcTime (e.g. "2026-12-07T07:30:00Z"), newline included.
    std::string Format(const std::string& utcTime, const RunLogEntry& entry) const;

private:
    AppendFile m_file;
    std::mutex m_mutex;
    std::string m_hexFile;
    std::string m_sha256;
};

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
