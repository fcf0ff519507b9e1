#include "files/File.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dorvane {

namespace {

std::uint32_t systemError(int err) {
    switch (err) {
    case ENOENT:
        return kErrorFileNotFoundCode;
    case ENOTDIR:
        return kErrorPathNotFoundCode;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return kErrorAccessDeniedCode;
    case EWOULDBLOCK:
        return kErrorSharingViolationCode;
    default:
        return static_cast<std::uint32_t>(err);
    }
}

// Repeats a partial read or write (`step`, given the bytes done so far) until
// `size` bytes are done, the end of the file is reached or an error stops it
// (kept in `error`); an interrupted call is simply repeated.
template <typename Step>
std::size_t transferAll(std::size_t size, std::uint32_t& error, Step step) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = step(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = systemError(errno);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

} // namespace

File::File(File&& other) noexcept : fd_(other.fd_), error_(other.error_) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        error_ = other.error_;
        other.fd_ = -1;
    }
    return *this;
}

bool File::open(const std::string& utf8Path, FileMode mode) {
    close();
    int flags = mode.access == Access::Read    ? O_RDONLY
                : mode.access == Access::Write ? O_WRONLY
                                               : O_RDWR;
    if (mode.creation == Creation::CreateAlways)
        flags |= O_CREAT;
    if (mode.writeThrough)
        flags |= O_DSYNC;
    flags |= O_CLOEXEC;
    int fd = ::open(utf8Path.c_str(), flags, 0644);
    if (fd < 0) {
        error_ = systemError(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        error_ = kErrorAccessDeniedCode;
        return false;
    }
    if (mode.share == Share::None && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error_ = systemError(errno);
        ::close(fd);
        return false;
    }
    // Replace only after the lock is held, so a refused open destroys nothing.
    if (mode.creation == Creation::CreateAlways && ::ftruncate(fd, 0) != 0) {
        error_ = systemError(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    error_ = 0;
    return true;
}

void File::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool File::isOpen() const {
    return fd_ >= 0;
}

std::size_t File::read(void* buffer, std::size_t size) {
    if (fd_ < 0)
        return 0;
    return transferAll(size, error_, [&](std::size_t done) {
        return ::read(fd_, static_cast<char*>(buffer) + done, size - done);
    });
}

std::size_t File::write(const void* data, std::size_t size) {
    if (fd_ < 0)
        return 0;
    return transferAll(size, error_, [&](std::size_t done) {
        return ::write(fd_, static_cast<const char*>(data) + done, size - done);
    });
}

bool File::seek(std::uint64_t offset) {
    return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

std::uint64_t File::size() const {
    struct stat info {};
    return fd_ >= 0 && ::fstat(fd_, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

bool fileExists(const std::string& utf8Path) {
    struct stat info {};
    return ::stat(utf8Path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool isDirectory(const std::string& utf8Path) {
    struct stat info {};
    return ::stat(utf8Path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool deleteFile(const std::string& utf8Path) {
    return ::unlink(utf8Path.c_str()) == 0;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace dorvane
