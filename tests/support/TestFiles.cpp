#include "tests/support/TestFiles.h"

#include "model/Paths.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace dorvane::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device random;
    const fs::path dir = fs::temp_directory_path() / ("dorvane-test-" + std::to_string(random()) +
                                                      "-" + std::to_string(counter++));
    fs::create_directories(dir);
    path_ = utf8FromPath(dir);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(pathFromUtf8(path_), ignored);
}

std::string TempDir::file(const std::string& name) const {
    return utf8FromPath(pathFromUtf8(path_) / pathFromUtf8(name));
}

std::vector<std::string> TempDir::names() const {
    std::vector<std::string> result;
    for (const auto& entry : fs::directory_iterator(pathFromUtf8(path_)))
        result.push_back(utf8FromPath(entry.path().filename()));
    std::sort(result.begin(), result.end());
    return result;
}

Bytes readAll(const std::string& path) {
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(pathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool exists(const std::string& path) {
    return fs::exists(pathFromUtf8(path));
}

Bytes patterned(std::size_t count, unsigned seed) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 512);
    return bytes;
}

} // namespace dorvane::test
