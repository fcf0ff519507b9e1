// What the operation tests share: a session, the busy flag, a recording view
// and a virtual drive holding a diskette made from a raw image.
#pragma once

#include "drive/Progress.h"
#include "drive/VirtualDrive.h"
#include "model/Paths.h"
#include "model/Session.h"
#include "settings/ProfileStore.h"
#include "tests/support/RecordingView.h"
#include "tests/support/TestFiles.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace dorvane::test {

struct OpsRig {
    std::unique_ptr<Session> session = std::make_unique<Session>();
    OperationState state;
    RecordingView view;
    std::shared_ptr<VirtualDiskette> disk = std::make_shared<VirtualDiskette>();
    VirtualDrive drive{disk};
    OperationContext ctx{*session, state, view};

    OpsRig() { state.driverUnusable = false; }

    DiskSettings& settings() { return session->settings; }

    // Puts the sector-order `image` on the diskette with the current geometry
    // and head range (recorded at cylinder 2t with Step+).
    void insert(const Bytes& image, int rate = Rate300) {
        const DiskSettings& s = session->settings;
        *disk = VirtualDiskette::fromRaw(image, s.tracks, s.sectorsPerTrack, s.sideCount, rate,
                                         s.doubleStep ? 2 : 1, s.firstHead);
    }

    VirtualSector& sector(int cylinder, int head, int number) {
        VirtualSector* found = disk->findSector(cylinder, head, number);
        if (!found)
            throw std::runtime_error("no such sector on the virtual diskette");
        return *found;
    }

    // The calls with this control code, in order.
    std::vector<VirtualDrive::Call> callsOf(std::uint32_t code) const {
        std::vector<VirtualDrive::Call> result;
        for (const VirtualDrive::Call& call : drive.calls())
            if (call.code == code)
                result.push_back(call);
        return result;
    }
};

// A view that clears the busy flag once the progress reaches `cancelAt`
// sectors: the Cancel button pressed between two steps.
class CancellingView : public RecordingView {
public:
    OperationState* state = nullptr;
    int cancelAt = -1;
    void setTaskbarValue(int done, int total) override {
        RecordingView::setTaskbarValue(done, total);
        if (state && done == cancelAt)
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

// Runs the test's body with `folder` as the current folder (the single-sector
// dumps land there).
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

inline std::string text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

} // namespace dorvane::test
