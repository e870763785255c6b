#pragma once
#include <string>

// Text inside Fernbow is UTF-8; Windows takes UTF-16 at its wide-character
// calls and the ANSI code page at its "A" calls. These convert at that
// boundary. Invalid input never throws: it is replaced (U+FFFD) on the way
// to UTF-16 and UTF-8, and refused on the way to ANSI.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// The ANSI bytes of a UTF-8 text; false when the ANSI code page cannot hold
// every character exactly (no best-fit look-alikes, no '?').
bool Utf8ToAnsi(const std::string& text, std::string& ansi);
std::string AnsiToUtf8(const std::string& ansi);
