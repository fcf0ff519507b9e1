// Formatting of user-visible texts and file names. Every text the program shows
// or names a file with fits a buffer of 260 UTF-16 characters (259 and the
// terminator), as the Windows calls it meets expect.
#pragma once

#include <string>

namespace dorvane {

constexpr int kTextCapacity = 260;

// printf-style formatting into UTF-8; a result longer than 259 UTF-16 units is cut at
// a character boundary.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Like formatText, but an over-long result is refused: returns false and leaves
// `out` empty. Used for file names, where a cut name would name another file.
bool formatName(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The number of UTF-16 code units `utf8` needs.
std::size_t utf16Length(const std::string& utf8);

// `utf8` cut to at most `units` UTF-16 code units, never inside a character.
std::string cutToUtf16Units(const std::string& utf8, std::size_t units);

} // namespace dorvane
