#include "volumes/Fields.h"

#include "model/Text.h"

#include <array>
#include <cctype>
#include <cstring>

namespace dorvane::fields {

namespace {

constexpr char kRad50[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZ$.%0123456789";
constexpr std::uint16_t kRad50Limit = 40 * 40 * 40; // 64000
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

bool isRad50(std::uint16_t word) {
    return word < kRad50Limit;
}

std::string rad50(std::uint16_t word) {
    if (!isRad50(word))
        return "???";
    std::string text(3, ' ');
    text[0] = kRad50[word / 1600];
    text[1] = kRad50[word / 40 % 40];
    text[2] = kRad50[word % 40];
    return text;
}

std::string trimmed(const std::string& text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string text(const Volume& volume, int block, long offset, int length) {
    std::string out;
    for (long i = 0; i < length; ++i) {
        const std::uint8_t c = volume.byte(block, offset + i);
        if (c == 0)
            break;
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return trimmed(out);
}

std::string safeName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return "_";
    std::string safe = name;
    for (char& c : safe)
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/\\|?*", c) != nullptr)
            c = '_';
    return safe;
}

std::string dateText(int day, int month, int year) {
    if (day < 1 || day > 31 || month < 1 || month > 12)
        return {};
    return formatText("%02d-%s-%04d", day, kMonths[static_cast<std::size_t>(month - 1)], year);
}

int monthNumber(const std::string& name) {
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        bool same = name.size() == 3;
        for (std::size_t c = 0; same && c < 3; ++c)
            same = std::toupper(static_cast<unsigned char>(name[c])) ==
                   std::toupper(static_cast<unsigned char>(kMonths[i][c]));
        if (same)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

} // namespace dorvane::fields
