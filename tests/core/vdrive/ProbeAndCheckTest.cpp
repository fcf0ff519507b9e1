// The start-up probe and the diskette check, against the virtual drive, and the
// bytes each control sends checked against the driver's layouts.
#include "drive/DisketteCheck.h"
#include "drive/DriverProbe.h"
#include "drive/FloppyController.h"
#include "drive/VirtualDrive.h"
#include "model/DiskSettings.h"
#include "model/Session.h"
#include "tests/support/RecordingView.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace dorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kDriveA = "\\\\.\\fdraw0";

std::shared_ptr<VirtualDiskette> blankSide() {
    return std::make_shared<VirtualDiskette>(
        VirtualDiskette::fromRaw(Bytes(409600, 0), 80, 10, 1, Rate300));
}

TEST(DriverProbe, ReadyWithTheVirtualDriver) {
    VirtualDrive drive(blankSide());
    const ProbeResult result = probeDriver(drive, kDriveA);
    EXPECT_TRUE(result.usable);
    EXPECT_EQ(result.statusText,
              "Ready: 'fdrawcmd.sys' low-level floppy filter driver successfully detected");
    EXPECT_FALSE(drive.isOpen());
    // Version on the control device, then the reset on the drive.
    ASSERT_EQ(drive.calls().size(), 2u);
    EXPECT_EQ(drive.calls()[0].code, CTL_DRIVER_VERSION);
    EXPECT_EQ(drive.calls()[0].outSize, 4u);
    EXPECT_EQ(drive.calls()[1].code, CTL_CONTROLLER_RESET);
}

TEST(DriverProbe, NoDriverAtAll) {
    VirtualDrive drive(blankSide());
    drive.setDriverInstalled(false);
    const ProbeResult result = probeDriver(drive, kDriveA);
    EXPECT_FALSE(result.usable);
    EXPECT_EQ(result.statusText,
              "Warning: The 'fdrawcmd.sys' driver is not installed or floppy disabled in BIOS "
              "setup");
    EXPECT_TRUE(drive.calls().empty()); // nothing could be sent
}

TEST(DriverProbe, MajorVersionDecides) {
    struct Case {
        std::uint32_t version;
        bool usable;
        const char* text;
    };
    const Case cases[] = {
        {0x01000000, true, kDriverReadyText},     {0x0100FFFF, true, kDriverReadyText},
        {0x00FF010B, false, kDriverMismatchText}, {0x0101010B, false, kDriverMismatchText},
        {0x0000010B, false, kDriverMismatchText}, {0, false, kDriverMissingText},
    };
    for (const Case& c : cases) {
        VirtualDrive drive(blankSide());
        drive.setDriverVersion(c.version);
        const ProbeResult result = probeDriver(drive, kDriveA);
        EXPECT_EQ(result.usable, c.usable) << std::hex << c.version;
        EXPECT_EQ(result.statusText, c.text) << std::hex << c.version;
        // A wrong version never touches the controller.
        const bool reset = drive.calls().size() == 2;
        EXPECT_EQ(reset, c.usable) << std::hex << c.version;
    }
}

TEST(DriverProbe, ControllerThatDoesNotAnswer) {
    VirtualDrive failing(blankSide());
    failing.setControllerFails(true);
    ProbeResult result = probeDriver(failing, kDriveA);
    EXPECT_FALSE(result.usable);
    EXPECT_EQ(result.statusText, "Failed to initialise floppy controller");
    // The same when the drive device does not exist.
    VirtualDrive noDrive(blankSide());
    noDrive.setDriveInstalled(0, false);
    result = probeDriver(noDrive, kDriveA);
    EXPECT_FALSE(result.usable);
    EXPECT_EQ(result.statusText, kControllerFailedText);
}

struct CheckRig {
    std::unique_ptr<Session> session = std::make_unique<Session>();
    OperationState state;
    test::RecordingView view;
    OperationContext ctx{*session, state, view};
};

TEST(DisketteCheck, OkRepeatsUntilADisketteIsIn) {
    auto disk = blankSide();
    disk->present = false;
    VirtualDrive drive(disk);
    CheckRig rig;
    ASSERT_TRUE(rig.state.tryStart());
    int asked = 0;
    rig.view.onConfirm = [&](const std::string&) {
        if (++asked == 2)
            disk->present = true; // the user puts the diskette in, then OK
    };
    FloppyController fdc(drive);
    OpenDevice open(drive, kDriveA);
    EXPECT_TRUE(checkDiskette(rig.ctx, fdc, open.opened()));
    EXPECT_EQ(rig.view.questions(),
              (std::vector<std::string>(
                  2, "Checklist warning|Diskette is not inserted in a floppy drive")));
    EXPECT_FALSE(rig.state.cancelled());
    EXPECT_EQ(drive.calls().size(), 3u); // three CTL_MEDIA_PRESENT
}

TEST(DisketteCheck, CancelClearsTheBusyFlag) {
    VirtualDrive drive(blankSide());
    drive.setDriveInstalled(0, false);
    CheckRig rig;
    ASSERT_TRUE(rig.state.tryStart());
    rig.view.answer(true);
    rig.view.answer(false);
    FloppyController fdc(drive);
    OpenDevice open(drive, kDriveA);
    EXPECT_FALSE(open.opened());
    EXPECT_FALSE(checkDiskette(rig.ctx, fdc, open.opened()));
    EXPECT_EQ(rig.view.questions(),
              (std::vector<std::string>(2, "Checklist warning|Floppy drive is not found")));
    EXPECT_TRUE(rig.state.cancelled());
}

// The blocks the helpers build, as the virtual drive receives them.
TEST(ControlBlocks, BytesAsTheDriverReceivesThem) {
    VirtualDrive drive(blankSide());
    FloppyController fdc(drive);
    ASSERT_TRUE(drive.open(kDriveA));
    ASSERT_TRUE(fdc.rateSelect(Rate300));
    ASSERT_TRUE(fdc.specify());
    ASSERT_TRUE(fdc.seek(SeekBlock{7, 1}));
    std::uint8_t sector[512];
    fdc.readData(sectorCommand(3, 1, 4, 5, 0x10), sector, sizeof sector);
    ASSERT_TRUE(fdc.formatTrack(formatBlock(1, 10, 0x10, 0xE5), sequentialIds(7, 1, 10)));
    IdScanResult scan{};
    ASSERT_TRUE(fdc.idScan(IdScanRequest{kFlagMfm, 1}, &scan.count, sizeof scan));

    const auto& calls = drive.calls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].input, (Bytes{1}));
    EXPECT_EQ(calls[1].input, (Bytes{0x0F, 0xFE}));
    EXPECT_EQ(calls[2].input, (Bytes{7, 1}));
    EXPECT_EQ(calls[3].code, CTL_READ_DATA);
    EXPECT_EQ(calls[3].input, (Bytes{0x40, 1, 3, 1, 4, 2, 5, 0x10, 0xFF}));
    EXPECT_EQ(calls[3].outSize, 512u);
    EXPECT_EQ(calls[3].error, kErrorIdMarkNotFound); // head 1 of a one-sided diskette
    Bytes format = {0x40, 1, 2, 10, 0x10, 0xE5};
    for (std::uint8_t r = 1; r <= 10; ++r)
        format.insert(format.end(), {7, 1, r, 2});
    EXPECT_EQ(calls[4].input, format);
    EXPECT_EQ(calls[4].input.size(), 46u);
    EXPECT_EQ(calls[5].input, (Bytes{0x40, 1}));
    EXPECT_EQ(calls[5].outSize, 129u);
    // The scan result: the count, then C H R N of each ID.
    ASSERT_EQ(scan.count, 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(scan.ids[i].cylinder, 7);
        EXPECT_EQ(scan.ids[i].head, 1);
        EXPECT_EQ(scan.ids[i].sector, i + 1);
        EXPECT_EQ(scan.ids[i].sizeCode, 2);
    }
}

} // namespace
} // namespace dorvane
