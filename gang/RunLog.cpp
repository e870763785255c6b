#include "RunLog.h"

#include "UtcTime.h"

#include <cstdio>
#include <ctime>

const char* const RunLog::kHeader = "utc_time,port,device,file,sha256,chip,outcome,seconds,bytes_sent,note\n";

namespace {

std::string UtcNow()
{
    std::tm utc{};
    char text[32] = "";
    if (UtcTime(std::time(nullptr), utc))
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

bool RunLog::Open(const std::string& path, const std::string& hexFile, const std::string& sha256,
                   std::string& error, const std::atomic<bool>* interrupted)
{
    m_hexFile = hexFile;
    m_sha256 = sha256;
    return m_file.Open(path, kHeader, error, interrupted);
}

std::string RunLog::Format(const std::string& utcTime, const RunLogEntry& entry) const
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%.1f,%ld", entry.seconds, static_cast<long>(entry.bytesSent));
    return utcTime + ',' + CsvField(entry.port) + ',' + CsvField(entry.device) + ',' + CsvField(m_hexFile) + ',' +
           m_sha256 + ',' + CsvField(entry.chip) + ',' + CsvField(entry.outcome) + ',' + numbers + ',' +
           CsvField(entry.note) + '\n';
}

bool RunLog::Append(const RunLogEntry& entry, std::string& error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_file.Append(Format(UtcNow(), entry), error);
}
