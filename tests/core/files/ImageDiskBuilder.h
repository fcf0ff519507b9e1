// Builds ImageDisk files byte by byte for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane::test {

struct ImdBuilder {
    std::vector<std::uint8_t> bytes;

    explicit ImdBuilder(const std::string& header = "IMD 1.18: 01/02/2026 10:00:00\r\ntest\r\n",
                        bool terminate = true)
        : bytes(header.begin(), header.end()) {
        if (terminate)
            bytes.push_back(0x1A);
    }
    ImdBuilder& track(std::uint8_t mode, std::uint8_t cylinder, std::uint8_t head,
                      std::uint8_t count, std::uint8_t sizeCode) {
        return raw({mode, cylinder, head, count, sizeCode});
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
};

} // namespace dorvane::test
