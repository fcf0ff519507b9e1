#include "cli/Outputs.h"

#include "cli/CliEnvironment.h"
#include "cli/Command.h"
#include "cli/Console.h"
#include "cli/Interrupt.h"
#include "cli/Report.h"
#include "files/File.h"
#include "model/Paths.h"
#include "model/Text.h"

#include <algorithm>
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

// An existing file another program holds open: says so and returns true.
bool inUse(const std::string& path, const char* what) {
    File probe(path, FileMode{Access::ReadWrite, Share::Read, Creation::OpenExisting, false});
    if (probe.isOpen() || probe.error() != kErrorSharingViolationCode)
        return false;
    printFailure(std::string(what) + ": " + path + " is in use by another process", probe.error());
    return true;
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

int PlannedOutputs::claim(const char* what) {
    constexpr FileMode kClaim{Access::Write, Share::Read, Creation::CreateNew, false};
    for (Planned& file : files_) {
        if (file.existed)
            continue;
        File created(file.path, kClaim);
        file.claimed = created.isOpen();
        if (file.claimed)
            continue;
        removeEmptyNew();
        if (created.error() == kErrorFileExistsCode)
            printFailure(std::string(what) + ": " + file.path +
                         " was created by another run meanwhile; it is left as it is");
        else
            printFailure(std::string(what) + ": cannot create " + file.path, created.error());
        return ExitFailure;
    }
    return ExitOk;
}

void PlannedOutputs::removeEmptyNew() const {
    for (const Planned& file : files_)
        if (file.claimed && fileExists(file.path) && File(file.path, kReadShared).size() == 0)
            deleteFile(file.path);
}

int OutputFiles::create(const std::vector<std::string>& paths, const char* what) {
    PlannedOutputs planned(force_);
    for (const std::string& path : paths)
        planned.add(path);
    if (const int status = planned.check())
        return status;
    for (const std::string& path : paths) {
        const bool replace = force_ && fileExists(path);
        // Replaced only when nobody else holds it open.
        if (replace && inUse(path, what)) {
            discard();
            return ExitFailure;
        }
        files_.emplace_back();
        if (files_.back().create(path, replace))
            continue;
        const std::uint32_t code = files_.back().error();
        files_.pop_back();
        discard();
        if (code == kErrorFileExistsCode)
            printFailure(std::string(what) + ": " + path +
                         " was created by another run meanwhile; it is left as it is");
        else
            printFailure(std::string(what) + ": cannot create " + path, code);
        return ExitFailure;
    }
    return ExitOk;
}

bool OutputFiles::write(std::size_t index, const std::vector<std::uint8_t>& bytes,
                        const char* what) {
    PendingFile& file = files_.at(index);
    if (file.write(bytes.data(), bytes.size()))
        return true;
    printFailure(std::string(what) + ": " + file.path() +
                     " was not written in full; nothing of "
                     "it is kept",
                 file.error());
    discard();
    return false;
}

bool OutputFiles::commit(const char* what) {
    for (PendingFile& file : files_)
        if (!file.commit()) {
            printFailure(std::string(what) + ": " + file.path() + " was not written in full",
                         file.error());
            discard();
            return false;
        }
    return true;
}

void OutputFiles::discard() {
    for (PendingFile& file : files_)
        file.discard();
    files_.clear();
}

int writeOutputs(const CliEnvironment& env, bool force, const std::vector<std::string>& paths,
                 const std::vector<std::vector<std::uint8_t>>& contents, const char* what) {
    // Ctrl+C from the first file created on is seen here, not the end of
    // the program with half an output left.
    OperationState state;
    InterruptCancels cancels(state, env.catchCtrlC);
    OutputFiles outputs(force);
    if (const int status = outputs.create(paths, what))
        return status;
    for (std::size_t i = 0; i < contents.size(); ++i)
        if (!outputs.write(i, contents[i], what))
            return ExitFailure;
    if (InterruptCancels::interrupted()) {
        outputs.discard();
        printFailure(std::string(what) + " cancelled; nothing written");
        return ExitFailure;
    }
    return outputs.commit(what) ? ExitOk : ExitFailure;
}

bool readInput(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
               std::uint64_t& size, const char* what) {
    if (!checkInput(path))
        return false;
    File input(path, kReadShared);
    if (!input.isOpen()) {
        if (input.error() == kErrorSharingViolationCode)
            printFailure(std::string(what) + ": " + path +
                             " is in use by another process (a read still writing it?)",
                         input.error());
        else
            printFailure(std::string(what) + ": cannot open " + path, input.error());
        return false;
    }
    size = input.size();
    bytes.resize(static_cast<std::size_t>(std::min(size, limit)));
    const std::size_t got = input.read(bytes.data(), bytes.size());
    if (got == bytes.size())
        return true;
    printFailure(std::string(what) + ": cannot read " + path, input.error());
    return false;
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
