// libFuzzer target for the virtual drive as a whole: a fault script and a raw or
// ImageDisk diskette, then read, scan, sector read, write, format, read again.
// After each read the image holds 512 bytes per map digit, the map only 3, 4 and
// 5, and a read of a diskette in the drive covers every sector of the head range.
// Input: a byte of choices, two bytes (little-endian) of script length, the
// script, then the diskette file.
#include "model/Session.h"
#include "ops/DiskFormat.h"
#include "ops/DiskRead.h"
#include "ops/DiskWrite.h"
#include "ops/SectorRead.h"
#include "ops/TrackScan.h"
#include "settings/FileProfileStore.h"
#include "tests/fuzz/FuzzSupport.h"
#include "vdrive/DeviceSelection.h"

#include <memory>
#include <vector>

namespace {

using namespace dorvane;

void checkRead(const OperationRequest& request, const DiskSettings& settings, bool present) {
    const std::vector<std::uint8_t> image = fuzz::fileBytes(request.path);
    const std::vector<std::uint8_t> map = fuzz::fileBytes(request.basePath + ".map");
    fuzz::require(image.size() == 512 * map.size(), "the image holds 512 bytes per map digit");
    for (const std::uint8_t digit : map)
        fuzz::require(digit == '3' || digit == '4' || digit == '5',
                      "the map holds only 3, 4 and 5 after a read");
    if (present)
        fuzz::require(map.size() == static_cast<std::size_t>(settings.progressTotal()),
                      "a read of a diskette in the drive covers every sector");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputParts input;
    if (!fuzz::cutInput(data, size, input))
        return 0;
    const std::uint8_t choices = input.choices;
    const std::string script(reinterpret_cast<const char*>(input.first), input.firstSize);
    const std::string diskettePath = fuzz::scratchFile(choices & 1 ? "disk.imd" : "disk.dsk");
    fuzz::writeFile(diskettePath, input.rest, input.restSize);
    auto disk = std::make_shared<VirtualDiskette>();
    std::string problem;
    if (!loadVirtualDiskette(diskettePath, *disk, problem) ||
        !disk->applyFaultScript(script, problem))
        return 0; // the run stops before the drive is used
    const bool present = disk->present;

    auto session = std::make_unique<Session>();
    DiskSettings& settings = session->settings;
    settings.chooseHeads(static_cast<HeadChoice>((choices >> 1) % 3));
    settings.setStepPlus((choices & 8) != 0);
    settings.retries = (choices >> 4) & 1;
    const ReadPace pace = choices & 64 ? ReadPace::TrackAtOnce : ReadPace::PerSector;
    OperationState state;
    state.driverUnusable = false;
    QuietView view;
    OperationContext ctx{*session, state, view};
    VirtualDrive drive(disk);
    FileProfileStore profile(fuzz::scratchFile("profile"));

    OperationRequest request;
    request.choose(fuzz::scratchFile("read.dsk"));
    readDisk(ctx, drive, request, ReadOptions{pace, false, &drive.hostClock()});
    checkRead(request, settings, present);

    ScanRequest scan;
    scan.track = choices & 128 ? 1 : 0;
    scanTrack(ctx, drive, profile, scan);
    settings.dataRate = Rate300; // whatever the scan adopted, the rest run as RX50
    settings.chooseSectors(2);
    session->imageName = fuzz::scratchFile("sector");
    if (state.tryStart())
        readSector(ctx, drive, 1, settings.firstHead, 1 + choices % 10);

    writeDisk(ctx, drive, request);
    formatDisk(ctx, drive);
    request.choose(fuzz::scratchFile("again.dsk"));
    readDisk(ctx, drive, request, ReadOptions{pace, false, &drive.hostClock()});
    checkRead(request, settings, present);
    return 0;
}
