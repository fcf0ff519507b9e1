// Values that one thread writes while another reads them: a legend painted by
// the window while a worker sets it, the retry count edited in the window while
// the read uses it. Each read and write is one relaxed atomic access, so the
// reader sees the old or the new value, never undefined behaviour. Nothing
// orders them against other memory: they are shown or polled, not handed over.
#pragma once

#include <atomic>

namespace dorvane {

template <typename T> class Relaxed {
    static_assert(std::atomic<T>::is_always_lock_free);

public:
    constexpr Relaxed(T value = T{}) noexcept : value_(value) {}
    // Copies (a settings snapshot, a record) read the other value once.
    Relaxed(const Relaxed& other) noexcept : value_(other.load()) {}
    Relaxed& operator=(const Relaxed& other) noexcept {
        store(other.load());
        return *this;
    }
    Relaxed& operator=(T value) noexcept {
        store(value);
        return *this;
    }

    operator T() const noexcept { return load(); }
    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T value) noexcept { value_.store(value, std::memory_order_relaxed); }

private:
    std::atomic<T> value_;
};

} // namespace dorvane
