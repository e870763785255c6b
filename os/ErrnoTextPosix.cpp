#include "ErrnoText.h"

#include <cstring>

namespace {

// strerror_r comes in two shapes: the GNU one returns the text (which may not
// be in buf), the POSIX one an error number and the text in buf.
[[maybe_unused]] const char* TextOf(char* result, const char*) { return result; }
[[maybe_unused]] const char* TextOf(int result, const char* buf) { return result == 0 ? buf : nullptr; }

} // namespace

std::string ErrnoText(int error)
{
    char buf[256] = "";
    const char* text = TextOf(strerror_r(error, buf, sizeof buf), buf);
    return text != nullptr && *text != '\0' ? text : "error " + std::to_string(error);
}
