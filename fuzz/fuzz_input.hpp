// Reads a fuzzer's bytes as a stream of small decisions: integers, choices
// from a list, texts and sample blocks. Past the end every read gives 0 (or
// an empty text), so each target runs to completion on any input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <tessivar/anal_log.h>

namespace tessivar::fuzz {

class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    size_t left() const { return size_ - at_; }

    template <typename T>
    T take()
    {
        T v{};
        const size_t n = sizeof(T) < left() ? sizeof(T) : left();
        std::memcpy(&v, data_ + at_, n);
        at_ += n;
        return v;
    }
    uint8_t byte() { return take<uint8_t>(); }
    // A value from 0 to n - 1 (n at least 1).
    uint32_t below(uint32_t n) { return take<uint16_t>() % n; }
    // One of the listed texts; sometimes a fuzzed text instead.
    template <size_t N>
    std::string pick(const char *const (&names)[N])
    {
        const uint32_t k = below(N + 1);
        return k < N ? std::string(names[k]) : text(12);
    }
    // A text of at most max bytes (may hold any byte but NUL).
    std::string text(size_t max)
    {
        const size_t n = below(uint32_t(max) + 1);
        std::string s;
        for (size_t k = 0; k < n && !empty(); ++k) {
            const char c = char(byte());
            s.push_back(c == '\0' ? ' ' : c);
        }
        return s;
    }
    // The rest of the input as a NUL-terminated text.
    std::string rest()
    {
        std::string s(reinterpret_cast<const char *>(data_ + at_), left());
        at_ = size_;
        return s;
    }
    // A finite double, with some extreme ones.
    double number()
    {
        const double v = take<double>();
        if (v != v) return 0.0;
        if (v > 1e12) return 1e12;
        if (v < -1e12) return -1e12;
        return v;
    }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

// Log lines go nowhere: the targets run millions of times.
inline void quietLog(const char *) {}

// Starts the log once per process, errors only, into quietLog.
inline void startQuietLog()
{
    static const bool started = [] {
        const LogConf conf = {nullptr, nullptr, LOG_LEVEL_ERROR, quietLog};
        return newLog(&conf) == 0;
    }();
    (void)started;
}

}  // namespace tessivar::fuzz
