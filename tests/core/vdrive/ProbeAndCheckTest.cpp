// The start-up probe and the diskette check, against the virtual drive, and the
// bytes each control sends checked against the driver's layouts.
#include "drive/DisketteCheck.h"
#include "drive/DriverProbe.h"
#include "model/Session.h"
#include "tests/core/vdrive/VirtualRig.h"
#include "tests/support/RecordingView.h"

#include <functional>

namespace dorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kDriveA = "\\\\.\\fdraw0";

std::shared_ptr<VirtualDiskette> blankSide() {
    return test::rx50Side(Bytes(409600, 0));
}

TEST(DriverProbe, OutcomesAndTheirTexts) {
    const std::string ready =
        "Ready: 'fdrawcmd.sys' low-level floppy filter driver successfully detected";
    const std::string missing =
        "Warning: The 'fdrawcmd.sys' driver is not installed or floppy disabled in BIOS setup";
    const std::string failed = "Failed to initialise floppy controller";
    const struct {
        const char* what;
        std::function<void(VirtualDrive&)> setUp;
        bool usable;
        std::string text;
        std::size_t calls; // version, then the reset if the version fits
    } cases[] = {
        {"as installed", [](VirtualDrive&) {}, true, ready, 2},
        {"no driver", [](VirtualDrive& d) { d.setDriverInstalled(false); }, false, missing, 0},
        {"1.0.0.0", [](VirtualDrive& d) { d.setDriverVersion(0x01000000); }, true, ready, 2},
        {"0.ff", [](VirtualDrive& d) { d.setDriverVersion(0x00FF010B); }, false,
         kDriverMismatchText, 1},
        {"1.1", [](VirtualDrive& d) { d.setDriverVersion(0x0101010B); }, false, kDriverMismatchText,
         1},
        {"version 0", [](VirtualDrive& d) { d.setDriverVersion(0); }, false, missing, 1},
        {"controller", [](VirtualDrive& d) { d.setControllerFails(true); }, false, failed, 2},
        {"no drive A:", [](VirtualDrive& d) { d.setDriveInstalled(0, false); }, false, failed, 1},
    };
    for (const auto& c : cases) {
        VirtualDrive drive(blankSide());
        c.setUp(drive);
        const ProbeResult result = probeDriver(drive, kDriveA);
        EXPECT_EQ(result.usable, c.usable) << c.what;
        EXPECT_EQ(result.statusText, c.text) << c.what;
        EXPECT_EQ(drive.calls().size(), c.calls) << c.what;
        EXPECT_FALSE(drive.isOpen()) << c.what;
        if (c.calls > 0) {
            EXPECT_EQ(drive.calls()[0].code, CTL_DRIVER_VERSION) << c.what;
            EXPECT_EQ(drive.calls()[0].outSize, 4u) << c.what;
        }
        if (c.calls > 1) {
            EXPECT_EQ(drive.calls()[1].code, CTL_CONTROLLER_RESET) << c.what;
        }
    }
}

struct CheckRig {
    std::shared_ptr<VirtualDiskette> disk = blankSide();
    VirtualDrive drive{disk};
    FloppyController fdc{drive};
    std::unique_ptr<Session> session = std::make_unique<Session>();
    OperationState state;
    test::RecordingView view;
    OperationContext ctx{*session, state, view};
    CheckRig() { EXPECT_TRUE(state.tryStart()); }
};

TEST(DisketteCheck, OkRepeatsAndCancelClearsBusy) {
    CheckRig rig;
    rig.disk->present = false;
    int asked = 0;
    rig.view.onConfirm = [&](const std::string&) {
        if (++asked == 2)
            rig.disk->present = true; // the user puts the diskette in, then OK
    };
    OpenDevice open(rig.drive, kDriveA);
    EXPECT_TRUE(checkDiskette(rig.ctx, rig.fdc, open.opened()));
    EXPECT_EQ(rig.view.questions(),
              (std::vector<std::string>(
                  2, "Checklist warning|Diskette is not inserted in a floppy drive")));
    EXPECT_FALSE(rig.state.cancelled());
    EXPECT_EQ(rig.drive.calls().size(), 3u); // three CTL_MEDIA_PRESENT

    CheckRig none;
    none.drive.setDriveInstalled(0, false);
    none.view.answer(true);
    none.view.answer(false);
    OpenDevice absent(none.drive, kDriveA);
    EXPECT_FALSE(absent.opened());
    EXPECT_FALSE(checkDiskette(none.ctx, none.fdc, absent.opened()));
    EXPECT_EQ(none.view.questions(),
              (std::vector<std::string>(2, "Checklist warning|Floppy drive is not found")));
    EXPECT_TRUE(none.state.cancelled());
}

} // namespace
} // namespace dorvane
