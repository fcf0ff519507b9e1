// What the in-process CLI tests share: a profile never saved, so that every
// run starts from the defaults (300 kbit/s, 10 sectors), and the size of one
// RX50 side.
#pragma once

#include "settings/ProfileStore.h"

#include <cstddef>
#include <cstdint>

namespace dorvane::test {

class NoProfile : public ProfileStore {
public:
    bool read(ProfileValues&) override { return false; }
    void write(std::uint32_t, std::uint32_t) override {}
};

constexpr std::size_t kSideBytes = 409600;

} // namespace dorvane::test
