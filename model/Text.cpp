#include "model/Text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace dorvane {

namespace {

std::string vformat(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0)
        return {};
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<std::size_t>(needed));
}

// Length in bytes of the UTF-8 sequence that starts with `lead`.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead >> 5) == 0x6)
        return 2;
    if ((lead >> 4) == 0xE)
        return 3;
    if ((lead >> 3) == 0x1E)
        return 4;
    return 1; // a stray byte counts as one character
}

} // namespace

std::size_t utf16Length(const std::string& utf8) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = sequenceLength(static_cast<unsigned char>(utf8[i]));
        units += n == 4 ? 2 : 1;
        i += n;
    }
    return units;
}

std::string cutToUtf16Units(const std::string& utf8, std::size_t units) {
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t n = sequenceLength(static_cast<unsigned char>(utf8[i]));
        const std::size_t cost = n == 4 ? 2 : 1;
        if (used + cost > units || i + n > utf8.size())
            break;
        used += cost;
        i += n;
    }
    return utf8.substr(0, i);
}

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    return cutToUtf16Units(text, kTextCapacity - 1);
}

bool formatName(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    if (utf16Length(text) > kTextCapacity - 1) {
        out.clear();
        return false;
    }
    out = std::move(text);
    return true;
}

} // namespace dorvane
