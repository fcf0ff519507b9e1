#include "cli/Outputs.h"

#include "cli/Command.h"
#include "cli/Console.h"
#include "cli/Report.h"
#include "files/File.h"
#include "model/Paths.h"
#include "model/Text.h"

#include <filesystem>
#include <system_error>

namespace dorvane::cli {

namespace {

// What is at `path`: nothing, a regular file, or something else.
enum class Kind { None, Regular, Other };

Kind kindOf(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(pathFromUtf8(path), error);
    if (error || status.type() == std::filesystem::file_type::not_found)
        return Kind::None;
    if (status.type() == std::filesystem::file_type::symlink) {
        const auto target = std::filesystem::status(pathFromUtf8(path), error);
        if (error || target.type() == std::filesystem::file_type::not_found)
            return Kind::Regular; // a dangling link: creating the file would follow it
        return target.type() == std::filesystem::file_type::regular ? Kind::Regular : Kind::Other;
    }
    return status.type() == std::filesystem::file_type::regular ? Kind::Regular : Kind::Other;
}

bool tooLong(const std::string& path) {
    return utf16Length(path) > static_cast<std::size_t>(kLongestName);
}

int nameTooLong(const std::string& path) {
    print(runErrors(),
          "dorvane-cli: %s: the name is longer than the %d characters a file name "
          "can have here\n",
          path.c_str(), kLongestName);
    return ExitUsage;
}

} // namespace

void PlannedOutputs::add(const std::string& path) {
    files_.push_back({path, kindOf(path) != Kind::None});
}

void PlannedOutputs::addName(const std::string& path) {
    names_.push_back(path);
}

int PlannedOutputs::check() const {
    for (const Planned& file : files_)
        if (tooLong(file.path))
            return nameTooLong(file.path);
    for (const std::string& name : names_)
        if (tooLong(name))
            return nameTooLong(name);
    for (const Planned& file : files_) {
        const std::filesystem::path folder = pathFromUtf8(file.path).parent_path();
        if (!folder.empty() && !isDirectory(utf8FromPath(folder))) {
            printFailure("cannot create " + file.path + ": no folder " + utf8FromPath(folder),
                         kErrorPathNotFoundCode);
            return ExitFailure;
        }
        const Kind kind = kindOf(file.path);
        if (kind == Kind::Other) {
            printFailure(file.path + " exists and is not a regular file; it is left as it is");
            return ExitFailure;
        }
        if (kind == Kind::Regular && !force_) {
            printFailure(file.path + " exists; it is left as it is (--force replaces it)");
            return ExitFailure;
        }
    }
    return ExitOk;
}

void PlannedOutputs::removeEmptyNew() const {
    for (const Planned& file : files_)
        if (!file.existed && fileExists(file.path) && File(file.path, kReadShared).size() == 0)
            deleteFile(file.path);
}

std::uint32_t whyNotWritten(const std::string& path) {
    File probe(path, FileMode{Access::Write, Share::ReadWrite, Creation::OpenExisting, false});
    return probe.isOpen() ? kErrorDiskFullCode : probe.error();
}

bool checkInput(const std::string& path) {
    const Kind kind = kindOf(path);
    if (kind == Kind::Regular && fileExists(path))
        return true;
    if (kind == Kind::Other && isDirectory(path))
        printFailure(path + " is a folder, not a file");
    else if (kind == Kind::Other)
        printFailure(path + " is not a regular file (a FIFO or a device); it is not read");
    else
        printFailure("file not found: " + path, kErrorFileNotFoundCode);
    return false;
}

} // namespace dorvane::cli
