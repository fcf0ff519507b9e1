// The host's own clock, as the operations see it: microseconds from any
// fixed start, never going back. Passed in, so that a read on the virtual
// drive runs on the drive's simulated time.
#pragma once

#include <chrono>
#include <cstdint>

namespace dorvane {

class HostClock {
public:
    virtual ~HostClock() = default;
    virtual std::uint64_t micros() const = 0;
};

// The machine's monotonic clock.
class SteadyClock final : public HostClock {
public:
    std::uint64_t micros() const override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
};

} // namespace dorvane
