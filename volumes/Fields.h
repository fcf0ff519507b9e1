// Field decoders the DEC file systems share: RAD50 words and date texts.
#pragma once

#include "volumes/Volume.h"

#include <cstdint>
#include <string>

namespace dorvane::fields {

// Three characters of a RAD50 word (DEC's table: space, A-Z, $, ., %, 0-9);
// a word of 64000 or more is not RAD50 and reads as "???".
std::string rad50(std::uint16_t word);
bool isRad50(std::uint16_t word);
// Trailing spaces removed.
std::string trimmed(const std::string& text);

// `length` bytes of text at `offset` of `block`, up to a NUL, trailing spaces
// removed; bytes outside printable ASCII read as '?'.
std::string text(const Volume& volume, int block, long offset, int length);

// A name as one component of a host path: characters no file system of the
// host takes ('/', '\\', ':', '*', ...) and control characters become '_',
// and "." or ".." becomes "_".
std::string safeName(const std::string& name);

// "07-Dec-2026"; empty when the day or month is out of range.
std::string dateText(int day, int month, int year);
// 1..12 for "JAN".."DEC" (either case), else 0.
int monthNumber(const std::string& name);

} // namespace dorvane::fields
