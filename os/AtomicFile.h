#pragma once
#include <cstddef>
#include <string>

// Replaces the file at path (a UTF-8 path) with exactly size bytes of data:
// they are written to a temporary file in the same folder, flushed to disk
// and renamed over path, so a reader sees either the old content or the new,
// never half of it. A new file gets the usual permissions (0666 less the
// umask). Temporary files of earlier writes to the same path whose writer
// has died (killed half-way) are removed first.
// false with the path and the system's reason in error; path is then
// untouched and no temporary file is left behind.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string& error);

inline bool WriteFileAtomically(const std::string& path, const std::string& content, std::string& error)
{
    return WriteFileAtomically(path, content.data(), content.size(), error);
}
