#include "model/Crc32.h"

#include <array>

namespace dorvane {

namespace {

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        table[i] = value;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();
static_assert(kTable[1] == 0x77073096u);

} // namespace

std::uint32_t crc32Bytes(const std::uint8_t* bytes, std::size_t length) {
    std::uint32_t reg = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i)
        reg = (reg >> 8) ^ kTable[(reg ^ bytes[i]) & 0xFF];
    return reg ^ 0xFFFFFFFFu;
}

std::uint32_t crc32Sector(const std::uint8_t* sector) {
    return crc32Bytes(sector, 512);
}

} // namespace dorvane
