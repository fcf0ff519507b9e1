// CRC-32 (ISO-HDLC, as in IEEE 802.3) of a sector buffer; names the dump files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dorvane {

// Over exactly 512 bytes.
std::uint32_t crc32Sector(const std::uint8_t* sector);

// The same steps over any length (the standard check string, for one).
std::uint32_t crc32Bytes(const std::uint8_t* bytes, std::size_t length);

} // namespace dorvane
