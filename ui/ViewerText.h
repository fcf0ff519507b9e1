// What the sector viewer shows for a sector's bytes: the hex digits, one
// character per byte in the chosen Cyrillic code page, and the 16-bit sum.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace dorvane::ui {

// The viewer's code page; KOI-8 at start-up, chosen from the context menu.
enum CodePage : int { Koi8 = 0, Cp1251 = 1 };

// Bytes 0x80..0xFF of each code page as UTF-16 (public standard tables). The
// one hole of Windows-1251, 0x98, is given as U+0098.
extern const std::array<char16_t, 128> kKoi8rHigh;
extern const std::array<char16_t, 128> kCp1251High;

// The character shown for a byte: 0x00 a middle dot, 0xFF a bullet, 0x01..0x80
// the character of that code, 0x81..0xFE the code page's character.
char16_t viewerChar(std::uint8_t byte, CodePage codePage);

// The two upper-case hex digits of a byte ("%02X").
std::array<char16_t, 2> hexDigits(std::uint8_t byte);

// The sum of the sector's 256 little-endian 16-bit words, modulo 65536.
std::uint16_t sectorChecksum(const std::uint8_t* sector512);

// "Checksum: %04X".
std::string checksumText(std::uint16_t checksum);

} // namespace dorvane::ui
