#include "settings/FileProfileStore.h"

#include "files/File.h"
#include "model/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace dorvane {

namespace {

// The longest profile we read; anything larger is not ours.
constexpr std::size_t kMaxProfileBytes = 4096;

// A decimal number that fits 32 bits, and nothing else.
std::optional<std::uint32_t> parseValue(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

} // namespace

bool FileProfileStore::read(ProfileValues& values) {
    values = {};
    File file(path_, kReadShared);
    if (!file.isOpen())
        return false;
    std::string text(kMaxProfileBytes, '\0');
    text.resize(file.read(text.data(), text.size()));
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view name = line.substr(0, equals);
        if (name == kDataRateValue)
            values.dataRate = parseValue(line.substr(equals + 1));
        else if (name == kSectorsCountValue)
            values.sectorsCount = parseValue(line.substr(equals + 1));
    }
    return true;
}

void FileProfileStore::write(std::uint32_t dataRate, std::uint32_t sectorsCount) {
    if (path_.empty())
        return;
    std::error_code ignored;
    std::filesystem::create_directories(pathFromUtf8(path_).parent_path(), ignored);
    const std::string text = std::string(kDataRateValue) + "=" + std::to_string(dataRate) + "\n" +
                             kSectorsCountValue + "=" + std::to_string(sectorsCount) + "\n";
    File file(path_, kCreateExclusive);
    file.write(text.data(), text.size());
}

std::string defaultProfilePath() {
    namespace fs = std::filesystem;
#ifdef _WIN32
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (appData && *appData)
        return utf8FromPath(fs::path(appData) / L"dorvane" / L"profile");
    return {};
#else
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config)
        return utf8FromPath(fs::path(config) / "dorvane" / "profile");
    const char* home = std::getenv("HOME");
    if (home && *home)
        return utf8FromPath(fs::path(home) / ".config" / "dorvane" / "profile");
    return {};
#endif
}

} // namespace dorvane
