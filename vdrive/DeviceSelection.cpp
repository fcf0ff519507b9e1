#include "vdrive/DeviceSelection.h"
#include "files/SystemMessage.h"

#include "files/File.h"
#include "model/DiskSettings.h"
#include "model/Paths.h"
#include "model/Text.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#ifdef _WIN32
#include "drive/FdrawcmdDevice.h"
#endif

namespace dorvane {

const char* const kVirtualDriveVariable = "DORVANE_VIRTUAL_DRIVE";
const char* const kFaultScriptVariable = "DORVANE_FAULT_SCRIPT";
const char* const kVirtualSpeedVariable = "DORVANE_VIRTUAL_SPEED";
const char* const kVirtualRpmVariable = "DORVANE_VIRTUAL_RPM";

namespace {

constexpr std::size_t kSideBytes = 80 * 10 * 512;
constexpr std::size_t kFaultScriptLimit = std::size_t{1} << 20;

#ifndef _WIN32
// Without the real driver nothing opens, as on a machine without fdrawcmd.sys.
class MissingDriverDevice : public FloppyDevice {
public:
    bool open(const std::string&) override {
        error_ = kErrorFileNotFound;
        return false;
    }
    void close() override {}
    bool isOpen() const override { return false; }
    bool control(std::uint32_t, const void*, std::size_t, void*, std::size_t,
                 std::size_t* returned) override {
        if (returned)
            *returned = 0;
        error_ = kErrorInvalidHandle;
        return false;
    }
    std::uint32_t lastError() const override { return error_; }

private:
    std::uint32_t error_ = 0;
};
#endif

bool readWholeFile(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                   std::uint32_t& error) {
    File file(path, kReadShared);
    if (!file.isOpen()) {
        error = file.error();
        return false;
    }
    const std::uint64_t size = file.size();
    bytes.resize(static_cast<std::size_t>(size < limit ? size : limit));
    if (file.read(bytes.data(), bytes.size()) != bytes.size()) {
        error = file.error();
        return false;
    }
    return true;
}

// When and how large a file was last written; all zero when it is missing.
struct FileStamp {
    std::filesystem::file_time_type written{};
    std::uintmax_t size = 0;
    bool operator==(const FileStamp& other) const {
        return written == other.written && size == other.size;
    }
};

FileStamp stampOf(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file = pathFromUtf8(path);
    FileStamp stamp;
    stamp.written = std::filesystem::last_write_time(file, error);
    if (error)
        return FileStamp{};
    stamp.size = std::filesystem::file_size(file, error);
    return error ? FileStamp{} : stamp;
}

bool endsWithImd(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".imd";
}

bool applyScriptFile(const std::string& path, VirtualDiskette& disk, std::string& error) {
    if (isDirectory(path)) {
        error = path + " is a folder, not a fault script";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    std::uint32_t code = 0;
    // A fault script is a few lines; a megabyte is more than any needs, and
    // one cut short could end in a line that means something else.
    if (!readWholeFile(path, kFaultScriptLimit + 1, bytes, code)) {
        error = "cannot read " + path + ": " + systemErrorText(code);
        return false;
    }
    if (bytes.size() > kFaultScriptLimit) {
        error = path + " is larger than 1 MiB, too large for a fault script";
        return false;
    }
    std::string problem;
    if (!disk.applyFaultScript(std::string(bytes.begin(), bytes.end()), problem)) {
        error = path + ", " + problem;
        return false;
    }
    return true;
}

// The diskette file with its faults: beside it, then the variable's. A script
// that cannot apply whole leaves the drive empty, its line and reason in
// `problem`: a run on a diskette with half its faults would test something else.
std::shared_ptr<VirtualDiskette> loadWithFaults(const std::string& path, const std::string& script,
                                                std::string& problem) {
    auto disk = std::make_shared<VirtualDiskette>();
    if (loadVirtualDiskette(path, *disk, problem)) {
        const std::string beside = path + ".faults";
        if (isDirectory(beside))
            problem = beside + " is a folder, not a fault script";
        else if (fileExists(beside))
            applyScriptFile(beside, *disk, problem);
        if (problem.empty() && !script.empty())
            applyScriptFile(script, *disk, problem);
        if (problem.empty())
            return disk;
    }
    *disk = VirtualDiskette{};
    disk->present = false;
    return disk;
}

} // namespace

std::string environmentValue(const char* name) {
#ifdef _WIN32
    std::wstring wide;
    for (const char* c = name; *c; ++c)
        wide.push_back(static_cast<wchar_t>(*c));
    const wchar_t* value = _wgetenv(wide.c_str());
    return value ? utf8FromPath(std::filesystem::path(value)) : std::string();
#else
    const char* value = std::getenv(name);
    return value ? value : std::string();
#endif
}

bool loadVirtualDiskette(const std::string& path, VirtualDiskette& out, std::string& error) {
    if (endsWithImd(path))
        return VirtualDiskette::fromImageDisk(path, out, error);
    std::vector<std::uint8_t> image;
    std::uint32_t code = 0;
    if (!readWholeFile(path, 2 * kSideBytes, image, code)) {
        error = "cannot read " + path + ": " + systemErrorText(code);
        return false;
    }
    const int heads = image.size() > kSideBytes ? 2 : 1;
    out = VirtualDiskette::fromRaw(image, 80, 10, heads, Rate300);
    return true;
}

namespace {

// The drive's timing from the environment: the real-time speed-up, and the
// speed when one is forced (unset, 0 or nonsense: the drive turns as the
// diskette file says).
VirtualTiming timingFromEnvironment() {
    VirtualTiming timing;
    const std::string speed = environmentValue(kVirtualSpeedVariable);
    timing.realTimeSpeedup = static_cast<std::uint32_t>(std::strtoul(speed.c_str(), nullptr, 10));
    const double rpm = std::strtod(environmentValue(kVirtualRpmVariable).c_str(), nullptr);
    timing.rpm = rpm >= 100 && rpm <= 1000 ? rpm : 0;
    return timing;
}

// Every operation makes its own device, but they all are handles on one
// machine: what a write or a format changed, the next read finds, and the
// head, the motor and the change line carry over. The diskette is loaded once
// per run, again only when the variables name other files or the file was
// replaced (another size or time): a diskette changed in the drive, whose
// change line the next device finds up.
struct LoadedDiskette {
    std::string path, script;
    FileStamp stamp;
    std::shared_ptr<VirtualDiskette> disk;
    std::shared_ptr<VirtualMachine> machine;
    std::string description;

    bool current(const std::string& newPath, const std::string& newScript,
                 const FileStamp& newStamp) const {
        return disk && path == newPath && script == newScript && stamp == newStamp;
    }

    void load(const std::string& newPath, const std::string& newScript, const FileStamp& newStamp,
              const VirtualTiming& timing) {
        const bool changed = disk && path == newPath && script == newScript;
        std::string problem;
        auto newDisk = loadWithFaults(newPath, newScript, problem);
        description = problem.empty() ? formatText("Virtual drive A: %s", newPath.c_str())
                                      : formatText("Virtual drive A: %s (%s)", newPath.c_str(),
                                                   problem.c_str());
        if (changed)
            machine->drives[0]->change(newDisk);
        else
            machine = std::make_shared<VirtualMachine>(newDisk, nullptr, timing);
        path = newPath;
        script = newScript;
        stamp = newStamp;
        disk = newDisk;
    }
};

} // namespace

std::unique_ptr<FloppyDevice> makeFloppyDevice(std::string* virtualDescription) {
    if (virtualDescription)
        virtualDescription->clear();
    const std::string diskettePath = environmentValue(kVirtualDriveVariable);
    if (diskettePath.empty()) {
#ifdef _WIN32
        return std::make_unique<FdrawcmdDevice>();
#else
        return std::make_unique<MissingDriverDevice>();
#endif
    }
    static std::mutex mutex;
    static LoadedDiskette loaded;
    const std::string script = environmentValue(kFaultScriptVariable);
    const FileStamp stamp = stampOf(diskettePath);
    const VirtualTiming timing = timingFromEnvironment();
    std::lock_guard<std::mutex> lock(mutex);
    if (!loaded.current(diskettePath, script, stamp))
        loaded.load(diskettePath, script, stamp, timing);
    if (virtualDescription)
        *virtualDescription = loaded.description;
    loaded.machine->setTiming(timing);
    return std::make_unique<VirtualDrive>(loaded.machine);
}

} // namespace dorvane
