#include "files/File.h"

#include "model/Paths.h"

#include <windows.h>

namespace dorvane {

namespace {

std::wstring widePath(const std::string& utf8Path) {
    return pathFromUtf8(utf8Path).wstring();
}

HANDLE asHandle(void* handle) {
    return static_cast<HANDLE>(handle);
}

// Repeats a partial read or write (`step`: the bytes done so far, the bytes
// wanted, the bytes it moved) until `size` bytes are done, the end of the file
// is reached or an error stops it (kept in `error`).
template <typename Step>
std::size_t transferAll(std::size_t size, std::uint32_t& error, Step step) {
    std::size_t done = 0;
    while (done < size) {
        DWORD moved = 0;
        if (!step(done, static_cast<DWORD>(size - done), moved)) {
            error = GetLastError();
            break;
        }
        if (moved == 0)
            break;
        done += moved;
    }
    return done;
}

} // namespace

File::File(File&& other) noexcept : handle_(other.handle_), error_(other.error_) {
    other.handle_ = nullptr;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        error_ = other.error_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool File::open(const std::string& utf8Path, FileMode mode) {
    close();
    const DWORD access = mode.access == Access::Read    ? GENERIC_READ
                         : mode.access == Access::Write ? GENERIC_WRITE
                                                        : GENERIC_READ | GENERIC_WRITE;
    const DWORD share = mode.share == Share::None   ? 0
                        : mode.share == Share::Read ? FILE_SHARE_READ
                                                    : FILE_SHARE_READ | FILE_SHARE_WRITE;
    const DWORD creation = mode.creation == Creation::OpenExisting ? OPEN_EXISTING
                           : mode.creation == Creation::CreateNew  ? CREATE_NEW
                                                                   : CREATE_ALWAYS;
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (mode.writeThrough ? FILE_FLAG_WRITE_THROUGH : 0);
    HANDLE handle =
        CreateFileW(widePath(utf8Path).c_str(), access, share, nullptr, creation, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error_ = GetLastError();
        return false;
    }
    // Only regular files hold images, maps, logs and dumps: a pipe or a
    // device is refused rather than read or written as one.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        error_ = kErrorNotRegularFileCode;
        return false;
    }
    handle_ = handle;
    error_ = 0;
    return true;
}

void File::close() {
    if (handle_ != nullptr)
        CloseHandle(asHandle(handle_));
    handle_ = nullptr;
}

bool File::isOpen() const {
    return handle_ != nullptr;
}

std::size_t File::read(void* buffer, std::size_t size) {
    if (handle_ == nullptr)
        return 0;
    return transferAll(size, error_, [&](std::size_t done, DWORD want, DWORD& moved) {
        return ReadFile(asHandle(handle_), static_cast<char*>(buffer) + done, want, &moved,
                        nullptr);
    });
}

std::size_t File::write(const void* data, std::size_t size) {
    if (handle_ == nullptr)
        return 0;
    return transferAll(size, error_, [&](std::size_t done, DWORD want, DWORD& moved) {
        return WriteFile(asHandle(handle_), static_cast<const char*>(data) + done, want, &moved,
                         nullptr);
    });
}

bool File::seek(std::uint64_t offset) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return handle_ != nullptr && SetFilePointerEx(asHandle(handle_), distance, nullptr, FILE_BEGIN);
}

std::uint64_t File::size() const {
    LARGE_INTEGER value;
    return handle_ != nullptr && GetFileSizeEx(asHandle(handle_), &value)
               ? static_cast<std::uint64_t>(value.QuadPart)
               : 0;
}

bool fileExists(const std::string& utf8Path) {
    const DWORD attributes = GetFileAttributesW(widePath(utf8Path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isDirectory(const std::string& utf8Path) {
    const DWORD attributes = GetFileAttributesW(widePath(utf8Path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool deleteFile(const std::string& utf8Path) {
    return DeleteFileW(widePath(utf8Path).c_str()) != 0;
}

bool replaceFile(const std::string& from, const std::string& to, std::uint32_t& error) {
    if (MoveFileExW(widePath(from).c_str(), widePath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = GetLastError();
    return false;
}

bool sameFile(const std::string& a, const std::string& b) {
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE handle = CreateFileW(widePath(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = GetFileInformationByHandle(handle, &info) != 0;
        CloseHandle(handle);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return identify(a, first) && identify(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

} // namespace dorvane
