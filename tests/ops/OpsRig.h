// What the operation tests share: a session, the busy flag, a view that can press
// Cancel, a virtual drive holding a diskette, and a folder for the operation's files.
#pragma once

#include "model/Paths.h"
#include "model/Session.h"
#include "ops/DiskFormat.h"
#include "ops/DiskRead.h"
#include "ops/DiskWrite.h"
#include "ops/Progress.h"
#include "ops/TrackScan.h"
#include "settings/ProfileStore.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"
#include "vdrive/VirtualDrive.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace dorvane::test {

constexpr std::size_t kSide = 80 * 10 * 512;

// Presses Cancel once the progress reaches `cancelAt` sectors (between two steps).
class CancellingView : public RecordingView {
public:
    OperationState* state = nullptr;
    int cancelAt = -1;
    void setProgressValue(int done, int) override {
        if (done == cancelAt)
            state->requestCancel();
    }
};

// A profile kept in memory.
class MemoryProfile : public ProfileStore {
public:
    bool exists = false;
    ProfileValues values;
    int writes = 0;
    bool read(ProfileValues& out) override {
        if (exists)
            out = values;
        return exists;
    }
    void write(std::uint32_t dataRate, std::uint32_t sectorsCount) override {
        exists = true;
        values.dataRate = dataRate;
        values.sectorsCount = sectorsCount;
        ++writes;
    }
};

struct OpsRig {
    std::unique_ptr<Session> session = std::make_unique<Session>();
    OperationState state;
    CancellingView view;
    std::shared_ptr<VirtualDiskette> disk = std::make_shared<VirtualDiskette>();
    VirtualDrive drive{disk};
    OperationContext ctx{*session, state, view};
    TempDir dir;
    OperationRequest request;
    MemoryProfile profile; // the scan's

    OpsRig() {
        state.driverUnusable = false;
        view.state = &state;
        request.choose(dir.file("disk.dsk"));
    }

    DiskSettings& settings() { return session->settings; }

    // The sector-order `image` as the current settings record it (track t on 2t with Step+).
    void insert(const Bytes& image, int rate = Rate300) {
        const DiskSettings& s = session->settings;
        *disk = VirtualDiskette::fromRaw(image, s.tracks, s.sectorsPerTrack, s.sideCount, rate,
                                         s.doubleStep ? 2 : 1, s.firstHead);
    }
    // A formatted diskette whose every byte is 0xF6.
    void insertBlank() {
        const DiskSettings& s = session->settings;
        insert(Bytes(static_cast<std::size_t>(s.tracks) * s.sideCount * s.bytesPerTrack, 0xF6));
    }

    VirtualSector& sector(int cylinder, int head, int number) {
        VirtualSector* found = disk->findSector(cylinder, head, number);
        if (!found)
            throw std::runtime_error("no such sector on the virtual diskette");
        return *found;
    }

    bool read() { return readDisk(ctx, drive, request).finished(); }
    // Writes `file` to the request's path, then from it to the diskette.
    bool write(const Bytes& file) {
        writeAll(request.path, file);
        return writeDisk(ctx, drive, request).finished();
    }
    bool format() { return formatDisk(ctx, drive).finished(); }
    ScanOutcome scan(int track, int first = Rate500, int last = Rate250, bool a = false,
                     bool b = false) {
        return scanTrack(ctx, drive, profile, ScanRequest{0, track, first, last, a, b});
    }

    Bytes image() const { return readAll(request.path); }
    // The text of the file beside the image with this extension (".map", ".log").
    std::string fileText(const std::string& extension) const {
        const Bytes bytes = readAll(request.basePath + extension);
        return std::string(bytes.begin(), bytes.end());
    }

    // The calls with this control code, in order.
    std::vector<VirtualDrive::Call> callsOf(std::uint32_t code) const {
        std::vector<VirtualDrive::Call> result;
        for (const VirtualDrive::Call& call : drive.calls())
            if (call.code == code)
                result.push_back(call);
        return result;
    }
    int legendsOf(int head, int code) const {
        int count = 0;
        for (int i = 0; i < session->settings.sectorsPerSide; ++i)
            count += session->slot(head)[static_cast<std::size_t>(i)].legend == code;
        return count;
    }
};

// The current folder for the test's body (the single-sector dumps land there).
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder) : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(pathFromUtf8(folder));
    }
    ~CurrentFolder() { std::filesystem::current_path(saved_); }

private:
    std::filesystem::path saved_;
};

inline Bytes slice(const Bytes& bytes, std::size_t offset, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

} // namespace dorvane::test
