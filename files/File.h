// The one file layer of both builds: opens files with the access, sharing and
// creation the operations ask for, reads and writes whole blocks, and reports
// the system error code of a failure. CreateFileW on Windows; POSIX elsewhere,
// where the sharing modes are advisory locks held while the file is open (see
// File_posix.cpp). Only regular files open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dorvane {

enum class Access { Read, Write, ReadWrite };
enum class Share { None, Read, ReadWrite };
enum class Creation {
    OpenExisting, // the file must exist
    CreateAlways, // created, or an existing file is replaced (truncated)
    CreateNew,    // created; refused (kErrorFileExistsCode) when the name is taken
};

struct FileMode {
    Access access = Access::Read;
    Share share = Share::Read;
    Creation creation = Creation::OpenExisting;
    bool writeThrough = false; // every write reaches the disk before it returns
};

// Common modes of the image files.
constexpr FileMode kReadShared{Access::Read, Share::Read, Creation::OpenExisting, false};
constexpr FileMode kCreateShared{Access::ReadWrite, Share::Read, Creation::CreateAlways, false};
constexpr FileMode kReadExclusive{Access::Read, Share::None, Creation::OpenExisting, false};
constexpr FileMode kCreateExclusive{Access::Write, Share::None, Creation::CreateAlways, false};

// System error codes as Windows numbers them, also on the native build.
constexpr std::uint32_t kErrorFileNotFoundCode = 2;
constexpr std::uint32_t kErrorPathNotFoundCode = 3;
constexpr std::uint32_t kErrorAccessDeniedCode = 5;
constexpr std::uint32_t kErrorSharingViolationCode = 32;
constexpr std::uint32_t kErrorFileExistsCode = 80;
constexpr std::uint32_t kErrorOpenFailedCode = 110;
constexpr std::uint32_t kErrorDiskFullCode = 112;
constexpr std::uint32_t kErrorFilenameTooLongCode = 206;
// A FIFO, a device or anything else that is not a regular file: refused at
// the open, which never waits for one.
constexpr std::uint32_t kErrorNotRegularFileCode = kErrorOpenFailedCode;

class File {
public:
    File() = default;
    File(const std::string& utf8Path, FileMode mode) { open(utf8Path, mode); }
    ~File() { close(); }
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool open(const std::string& utf8Path, FileMode mode);
    void close();
    bool isOpen() const;

    // Reads up to `size` bytes, fewer only at the end of the file or on an
    // error. Returns the bytes read. A closed file reads nothing.
    std::size_t read(void* buffer, std::size_t size);
    // Writes `size` bytes; returns the bytes written (0 on a closed file).
    std::size_t write(const void* data, std::size_t size);
    bool seek(std::uint64_t offset);
    std::uint64_t size() const;

    // The system error code of the last failed open, read or write.
    std::uint32_t error() const { return error_; }

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    std::uint32_t error_ = 0;
};

bool fileExists(const std::string& utf8Path); // an existing file, not a folder
bool isDirectory(const std::string& utf8Path);
bool deleteFile(const std::string& utf8Path);
// Renames `from` to `to`, replacing a file called `to` in one step: a reader
// of `to` sees the old file or the new one, never a part. Fails with the
// system error code in `error`.
bool replaceFile(const std::string& from, const std::string& to, std::uint32_t& error);
// Two names of one existing file (also through different spellings or links).
bool sameFile(const std::string& a, const std::string& b);

} // namespace dorvane
