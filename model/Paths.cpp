#include "model/Paths.h"

namespace dorvane {

namespace {
std::size_t nameStart(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? 0 : slash + 1;
}
} // namespace

std::string basePathOf(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart(path))
        return path;
    return path.substr(0, dot);
}

std::string imageNameOf(const std::string& path) {
    const std::string name = path.substr(nameStart(path));
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::filesystem::path pathFromUtf8(const std::string& utf8) {
    const std::u8string text(utf8.begin(), utf8.end());
    return std::filesystem::path(text);
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string absolutePathOf(const std::string& name) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(pathFromUtf8(name), error);
    return error || absolute.empty() ? name : utf8FromPath(absolute);
}

} // namespace dorvane
