#include "files/WholeFile.h"

#include <string>

namespace dorvane {

namespace {

constexpr FileMode kCreateNew{Access::Write, Share::Read, Creation::CreateNew, false};
// Names tried beside a file being replaced: one left by a run that was killed
// does not stop the next.
constexpr int kTemporaryNames = 100;

} // namespace

PendingFile::PendingFile(PendingFile&& other) noexcept
    : file_(std::move(other.file_)), path_(std::move(other.path_)),
      written_(std::move(other.written_)), pending_(other.pending_), error_(other.error_) {
    other.pending_ = false;
}

bool PendingFile::create(const std::string& path, bool replace) {
    discard();
    path_ = path;
    if (!replace) {
        written_ = path;
        pending_ = file_.open(path, kCreateNew);
        error_ = file_.error();
        return pending_;
    }
    for (int i = 0; i < kTemporaryNames; ++i) {
        written_ = path + ".partial" + (i == 0 ? std::string() : std::to_string(i));
        if (file_.open(written_, kCreateNew)) {
            pending_ = true;
            error_ = 0;
            return true;
        }
        error_ = file_.error();
        if (error_ != kErrorFileExistsCode)
            break;
    }
    return false;
}

bool PendingFile::write(const void* data, std::size_t size) {
    if (file_.write(data, size) == size)
        return true;
    // A write that moved nothing and gave no error ran into a full disk.
    error_ = file_.error() != 0 ? file_.error() : kErrorDiskFullCode;
    return false;
}

bool PendingFile::commit() {
    file_.close();
    if (!pending_)
        return false;
    if (written_ != path_ && !replaceFile(written_, path_, error_))
        return false;
    pending_ = false;
    return true;
}

void PendingFile::discard() {
    file_.close();
    if (pending_)
        deleteFile(written_);
    pending_ = false;
}

bool writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, bool replace,
                    std::uint32_t& error) {
    PendingFile file;
    if (file.create(path, replace) && file.write(bytes.data(), bytes.size()) && file.commit())
        return true;
    error = file.error();
    return false;
}

} // namespace dorvane
