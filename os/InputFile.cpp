#include "InputFile.h"

namespace {
// The words for this program's own refusals: "not a regular file",
// "larger than 64 MiB"; empty otherwise.
std::string Refusal(InputFile::Result result, uint64_t maxBytes)
{
    switch (result) {
    case InputFile::Result::NotRegularFile:
        return "not a regular file";
    case InputFile::Result::TooLarge:
        if (maxBytes >= (1u << 20) && maxBytes % (1u << 20) == 0)
            return "larger than " + std::to_string(maxBytes >> 20) + " MiB";
        return "larger than " + std::to_string(maxBytes) + " bytes";
    default:
        return std::string();
    }
}
}  // namespace

InputFile::Result InputFile::Open(const std::string& utf8Path, uint64_t maxBytes)
{
    Close();
    m_error.clear();
    m_maxBytes = maxBytes;
    m_read = 0;
    if (utf8Path.empty()) {
        m_error = "no file name given";
        return Result::NotFound;
    }
    return OpenNamed(utf8Path);
}

InputFile::Result InputFile::Admit(bool regularFile, uint64_t size)
{
    const Result result = !regularFile ? Result::NotRegularFile : size > m_maxBytes ? Result::TooLarge : Result::Opened;
    m_error = Refusal(result, m_maxBytes);
    return result;
}
