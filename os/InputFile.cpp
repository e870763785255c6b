#include "InputFile.h"

std::string InputFileRefusal(CInputFile::Result result, uint64_t maxBytes)
{
    switch (result) {
    case CInputFile::Result::NotRegularFile:
        return "not a regular file";
    case CInputFile::Result::TooLarge:
        if (maxBytes >= (1u << 20) && maxBytes % (1u << 20) == 0)
            return "larger than " + std::to_string(maxBytes >> 20) + " MiB";
        return "larger than " + std::to_string(maxBytes) + " bytes";
    default:
        return std::string();
    }
}
