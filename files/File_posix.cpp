#include "files/File.h"

#include <cerrno>
#include <cstdio>
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
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return kErrorDiskFullCode;
    case ENXIO: // a FIFO without a reader, a device without its hardware
        return kErrorNotRegularFileCode;
    case EEXIST:
        return kErrorFileExistsCode;
    case ENAMETOOLONG:
        return kErrorFilenameTooLongCode;
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

namespace {

// The share mode as an advisory lock held for as long as the file is open,
// as CreateFileW's share modes hold: an open that writes, or that shares
// nothing, excludes every other open; opens that only read and let others
// read share a lock; an open that lets others write takes none.
int lockFor(const FileMode& mode) {
    if (mode.share == Share::ReadWrite)
        return 0;
    if (mode.share == Share::None || mode.access != Access::Read)
        return LOCK_EX;
    return LOCK_SH;
}

} // namespace

bool File::open(const std::string& utf8Path, FileMode mode) {
    close();
    int flags = mode.access == Access::Read    ? O_RDONLY
                : mode.access == Access::Write ? O_WRONLY
                                               : O_RDWR;
    if (mode.creation == Creation::CreateAlways)
        flags |= O_CREAT;
    if (mode.creation == Creation::CreateNew)
        flags |= O_CREAT | O_EXCL; // one step: of two creators of a name, one is refused
    if (mode.writeThrough)
        flags |= O_DSYNC;
    // Non-blocking only for the open itself: a FIFO or a device would
    // otherwise wait here for a partner that may never come.
    flags |= O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(utf8Path.c_str(), flags, 0644);
    if (fd < 0) {
        error_ = systemError(errno);
        return false;
    }
    const auto refuse = [&](std::uint32_t code) {
        error_ = code;
        ::close(fd);
        return false;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return refuse(systemError(errno));
    if (S_ISDIR(info.st_mode))
        return refuse(kErrorAccessDeniedCode);
    // Only regular files hold images, maps, logs and dumps.
    if (!S_ISREG(info.st_mode))
        return refuse(kErrorNotRegularFileCode);
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        return refuse(systemError(errno));
    const int lock = lockFor(mode);
    // Held elsewhere: refused. A file system that cannot lock at all (some
    // network shares) leaves the file unlocked rather than unusable.
    if (lock != 0 && ::flock(fd, lock | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return refuse(systemError(errno));
    // Replace only after the lock is held, so a refused open destroys nothing.
    if (mode.creation == Creation::CreateAlways && ::ftruncate(fd, 0) != 0)
        return refuse(systemError(errno));
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

bool replaceFile(const std::string& from, const std::string& to, std::uint32_t& error) {
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    error = systemError(errno);
    return false;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace dorvane
