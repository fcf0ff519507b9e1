// What the in-process CLI tests share: a profile never saved, so that every
// run starts from the defaults (300 kbit/s, 10 sectors), the size of one RX50
// side, and an environment whose texts are caught in memory.
#pragma once

#include "cli/CliEnvironment.h"
#include "settings/ProfileStore.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <utility>

namespace dorvane::test {

class NoProfile : public ProfileStore {
public:
    bool read(ProfileValues&) override { return false; }
    void write(std::uint32_t, std::uint32_t) override {}
};

constexpr std::size_t kSideBytes = 409600;

// runCli's environment around a device maker: the output and the errors in
// `out` and `err`, no saved profile.
struct CaughtCli {
    std::ostringstream out, err;
    cli::CliEnvironment env;

    explicit CaughtCli(decltype(cli::CliEnvironment::makeDevice) makeDevice) {
        env.makeDevice = std::move(makeDevice);
        env.out = &out;
        env.err = &err;
        env.openProfile = [] { return std::make_unique<NoProfile>(); };
    }
};

} // namespace dorvane::test
