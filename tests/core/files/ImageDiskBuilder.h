// Builds ImageDisk files byte by byte for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane::test {

struct ImdBuilder {
    std::vector<std::uint8_t> bytes;

    explicit ImdBuilder(const std::string& header = "IMD 1.18: 01/02/2026 10:00:00\r\ntest\r\n",
                        bool terminate = true) {
        bytes.assign(header.begin(), header.end());
        if (terminate)
            bytes.push_back(0x1A);
    }
    ImdBuilder& track(std::uint8_t mode, std::uint8_t cylinder, std::uint8_t head,
                      std::uint8_t count, std::uint8_t sizeCode) {
        bytes.insert(bytes.end(), {mode, cylinder, head, count, sizeCode});
        return *this;
    }
    ImdBuilder& raw(std::initializer_list<std::uint8_t> values) {
        bytes.insert(bytes.end(), values);
        return *this;
    }
    ImdBuilder& raw(const std::vector<std::uint8_t>& values) {
        bytes.insert(bytes.end(), values.begin(), values.end());
        return *this;
    }
    ImdBuilder& fill(std::uint8_t type, std::uint8_t value) { return raw({type, value}); }
    ImdBuilder& data(std::uint8_t type, const std::vector<std::uint8_t>& sector) {
        bytes.push_back(type);
        return raw(sector);
    }
    // A whole RX50-style track: numbers in the given order, type 1 sectors
    // whose bytes come from `sectorBytes(number)`.
    template <typename F>
    ImdBuilder& fullTrack(std::uint8_t mode, std::uint8_t cylinder, std::uint8_t head,
                          const std::vector<std::uint8_t>& numbers, std::uint8_t sizeCode,
                          F sectorBytes) {
        track(mode, cylinder, head, static_cast<std::uint8_t>(numbers.size()), sizeCode);
        raw(numbers);
        for (std::uint8_t n : numbers)
            data(1, sectorBytes(n));
        return *this;
    }
};

} // namespace dorvane::test
