#include "vdrive/VirtualDriver.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace dorvane {

namespace {

constexpr const char* kControlDevice = "\\\\.\\fdrawcmd";
constexpr const char* kDriveDevices[2] = {"\\\\.\\fdraw0", "\\\\.\\fdraw1"};
constexpr int kLastCylinder = 85;
constexpr std::uint64_t kCommandTimeoutMicros = 4'000'000;

// Device names are case-insensitive, as on Windows.
bool sameName(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

VirtualDriver::Reply failed(std::uint32_t error) {
    return VirtualDriver::Reply{error, 0};
}

VirtualDriver::Reply succeeded(std::size_t bytes = 0) {
    return VirtualDriver::Reply{0, bytes};
}

// An optional output buffer given but too small for its `size` bytes.
bool tooSmall(std::size_t outSize, std::size_t size) {
    return outSize != 0 && outSize < size;
}

// A path below a device name ("\\.\fdraw0\x").
bool belowDevice(const std::string& path) {
    for (const char* device : {kControlDevice, kDriveDevices[0], kDriveDevices[1]}) {
        const std::size_t length = std::strlen(device);
        if (path.size() > length && path[length] == '\\' &&
            sameName(path.substr(0, length), device))
            return true;
    }
    return false;
}

} // namespace

VirtualMachine::VirtualMachine(std::shared_ptr<VirtualDiskette> driveA,
                               std::shared_ptr<VirtualDiskette> driveB, VirtualTiming timing_)
    : timing(timing_) {
    drives[0] = std::make_unique<DriveMechanism>(clock, std::move(driveA), timing.rpm);
    drives[1] = std::make_unique<DriveMechanism>(clock, std::move(driveB), timing.rpm);
}

void VirtualMachine::setTiming(VirtualTiming next) {
    timing = next;
    for (auto& drive : drives)
        drive->setTimingRpm(next.rpm);
}

std::uint32_t VirtualDriver::open(const std::string& devicePath) {
    close();
    if (!machine_.driverInstalled)
        return kErrorFileNotFound;
    if (belowDevice(devicePath))
        return kErrorPathNotFound;
    if (sameName(devicePath, kControlDevice)) {
        opened_ = Opened::Control;
        return 0;
    }
    for (int drive = 0; drive < 2; ++drive) {
        if (!sameName(devicePath, kDriveDevices[drive]) || !machine_.drives[drive]->installed)
            continue;
        // The drive device is exclusive: one handle at a time (the I/O
        // manager's rule for such devices; not tried on a real machine).
        if (machine_.held[drive])
            return kErrorAccessDenied;
        machine_.held[drive] = true;
        opened_ = Opened::Drive;
        drive_ = drive;
        settings_ = HandleSettings{};
        return 0;
    }
    return kErrorFileNotFound;
}

void VirtualDriver::close() {
    if (opened_ == Opened::Drive)
        machine_.held[drive_] = false;
    opened_ = Opened::None;
    // Every handle's settings go back to the driver's defaults.
    settings_ = HandleSettings{};
}

VirtualController VirtualDriver::controller() const {
    return VirtualController(mechanism(), drive_, settings_.dataRate, settings_.specify);
}

// Codes a release does not know take the driver's default branch (that the
// older releases dispatch as the last one does is assumed, not seen).
bool VirtualDriver::known(std::uint32_t code) const {
    switch (code) {
    case CTL_MEDIA_PRESENT:
    case CTL_GET_TRACK_TIME:
        return machine_.version >= kDriverMinimumVersion;
    case CTL_TIMED_SCAN:
    case CTL_HEAD_SETTLE_TIME:
    case CTL_SENSE_INT_STATUS:
        return machine_.version >= kDriverTimedScanVersion;
    default:
        return true;
    }
}

VirtualDriver::Reply VirtualDriver::control(std::uint32_t code, const std::uint8_t* in,
                                            std::size_t inSize, std::uint8_t* out,
                                            std::size_t outSize) {
    if (opened_ == Opened::None)
        return failed(kErrorInvalidHandle);
    if (code == CTL_DRIVER_VERSION) {
        // Input is ignored.
        if (outSize < 4)
            return failed(kErrorInsufficientBuffer);
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<std::uint8_t>(machine_.version >> (8 * i));
        return succeeded(4);
    }
    // The control device answers the version query only.
    if (opened_ == Opened::Control)
        return failed(kErrorInvalidFunction);
    const Request r{known(code) ? code : 0, in, inSize, out, outSize};
    mechanism().request(settings_.motorTimeoutSeconds);
    if (auto reply = noMotorCall(r))
        return *reply;
    if (auto reply = controllerCall(r))
        return *reply;
    motorPath();
    if (auto reply = headCall(r))
        return *reply;
    // No diskette: the driver's no-media status, which Windows makes 1112 (as
    // its own status table says; not yet seen on a real machine).
    if ((settings_.diskCheck || r.code == CTL_MEDIA_PRESENT) && !mediaCheck())
        return failed(kErrorNoMedia);
    return diskCall(r);
}

// Calls that need neither the motor nor the controller.
std::optional<VirtualDriver::Reply> VirtualDriver::noMotorCall(const Request& r) {
    switch (r.code) {
    case CTL_GET_RESULT:
        if (r.outSize < sizeof(ControllerResult))
            return failed(kErrorInsufficientBuffer);
        std::memcpy(r.out, &result(), sizeof(ControllerResult));
        return succeeded(sizeof(ControllerResult));
    case CTL_SENSE_INT_STATUS:
        // The first two bytes of the last result, not a new command.
        if (r.outSize < 2)
            return failed(kErrorInsufficientBuffer);
        std::memcpy(r.out, &result(), 2);
        return succeeded(2);
    case CTL_MOTOR_TIMEOUT:
        if (r.inSize < 1 || r.in[0] > 3)
            return failed(kErrorInvalidParameter);
        settings_.motorTimeoutSeconds = r.in[0];
        return succeeded();
    case CTL_HEAD_SETTLE_TIME:
        if (r.inSize < 1 || r.in[0] == 0)
            return failed(kErrorInvalidParameter);
        settings_.headSettleMillis = r.in[0];
        return succeeded();
    case CTL_DISK_CHECK:
        if (r.inSize < 1)
            return failed(kErrorInvalidParameter);
        if (r.outSize >= 1)
            r.out[0] = settings_.diskCheck ? 1 : 0;
        settings_.diskCheck = r.in[0] != 0;
        return succeeded(1); // the driver says 1 byte even without a buffer
    default:
        return std::nullopt;
    }
}

// Calls that may talk to the controller but need no motor.
std::optional<VirtualDriver::Reply> VirtualDriver::controllerCall(const Request& r) {
    switch (r.code) {
    case CTL_SPECIFY:
        if (r.inSize < sizeof(SpecifyBlock))
            return failed(kErrorInvalidParameter);
        if (tooSmall(r.outSize, sizeof(ControllerResult)))
            return failed(kErrorInsufficientBuffer);
        settings_.specify = SpecifyValues{r.in[0], static_cast<std::uint8_t>(r.in[1] & 0xFE)};
        result() = ControllerResult{}; // no result phase
        if (r.outSize == 0)
            return succeeded();
        std::memcpy(r.out, &result(), sizeof(ControllerResult));
        return succeeded(sizeof(ControllerResult));
    case CTL_RATE_SELECT:
        if (r.inSize < 1 || r.in[0] > 3)
            return failed(kErrorInvalidParameter);
        settings_.dataRate = r.in[0];
        return succeeded();
    case CTL_CONTROLLER_RESET:
        if (machine_.controllerFails)
            return failed(kErrorIoDevice);
        // The motor runs on; the next call that needs it sets the controller
        // up again, and the head must find track 0 again.
        settings_.needReset = true;
        return succeeded();
    default:
        return std::nullopt;
    }
}

// Every call past here: the motor on (a second's spin-up), and after a reset
// the controller set up again with this handle's values. Setting it up
// (CONFIGURE, SPECIFY: no result phase) leaves an empty result.
void VirtualDriver::motorPath() {
    if (settings_.needReset) {
        settings_.needReset = false;
        settings_.needRecalibrate = true;
        result() = ControllerResult{};
    }
    mechanism().motorOn();
}

std::optional<VirtualDriver::Reply> VirtualDriver::headCall(const Request& r) {
    switch (r.code) {
    case CTL_SEEK:
        return seek(r);
    case CTL_RECALIBRATE:
        return recalibrate(r);
    default:
        return std::nullopt;
    }
}

// With the disk check off the driver lets the head settle before and after
// each seek; with it on, only after a recalibrate.
void VirtualDriver::settle() {
    mechanism().wait(std::uint64_t{1000} * static_cast<std::uint64_t>(settings_.headSettleMillis));
}

void VirtualDriver::recalibrateTwice() {
    // One recalibrate may stop short of track 0 on old controllers; the
    // driver always issues two.
    controller().recalibrate(result());
    controller().recalibrate(result());
    settings_.needRecalibrate = false;
    settle();
}

VirtualDriver::Reply VirtualDriver::recalibrate(const Request& r) {
    if (r.outSize == 1)
        return failed(kErrorInsufficientBuffer);
    if (!settings_.diskCheck)
        settle();
    recalibrateTwice();
    if (r.outSize < 2)
        return succeeded();
    r.out[0] = result().st0;
    r.out[1] = result().st1;
    return succeeded(2);
}

VirtualDriver::Reply VirtualDriver::seek(const Request& r) {
    if (r.inSize < 1 || r.in[0] > kLastCylinder)
        return failed(kErrorInvalidParameter);
    if (r.outSize == 1)
        return failed(kErrorInsufficientBuffer);
    const int head = r.inSize >= 2 ? r.in[1] & 1 : 0;
    if (settings_.needRecalibrate)
        recalibrateTwice();
    if (!settings_.diskCheck)
        settle();
    controller().seek(r.in[0], head, result());
    if (!settings_.diskCheck)
        settle();
    if (r.outSize < 2)
        return succeeded();
    r.out[0] = result().st0;
    r.out[1] = result().st1;
    return succeeded(2);
}

// The line up: step out and back (from track 0: in and back), look again. Still
// up: no diskette. A diskette swapped meanwhile is simply accepted.
bool VirtualDriver::mediaCheck() {
    DriveMechanism& drive = mechanism();
    if (!drive.changeLine())
        return true;
    if (settings_.needRecalibrate)
        recalibrateTwice();
    drive.stepOutAndBack(controller().stepMicros());
    result() = ControllerResult{static_cast<std::uint8_t>(0x20 | drive_),
                                static_cast<std::uint8_t>(drive.cylinder()),
                                0,
                                {}};
    return !drive.changeLine();
}

VirtualDriver::Reply VirtualDriver::diskCall(const Request& r) {
    // With the disk check off nothing stops a command on an empty drive: it
    // waits for index pulses until fdc.sys gives up.
    const bool waitsForIndex = r.code != CTL_MEDIA_PRESENT && r.code != CTL_DRIVE_STATUS;
    if (!mechanism().present() && waitsForIndex) {
        mechanism().wait(kCommandTimeoutMicros);
        return failed(kErrorTimeout);
    }
    switch (r.code) {
    case CTL_MEDIA_PRESENT:
        return succeeded();
    case CTL_READ_DATA:
        return transfer(r, false);
    case CTL_WRITE_DATA:
        return transfer(r, true); // the data come in the output-buffer argument
    case CTL_FORMAT_TRACK:
        return format(r);
    case CTL_ID_SCAN:
        return scan(r, false);
    case CTL_TIMED_SCAN:
        return scan(r, true);
    case CTL_READ_ID:
        return readId(r);
    case CTL_DRIVE_STATUS:
        return driveStatus(r);
    case CTL_GET_TRACK_TIME:
        return trackTime(r);
    default:
        return failed(kErrorGeneralFailure); // the driver's default branch
    }
}

VirtualDriver::Reply VirtualDriver::controllerOutcome(const ControllerResult& outcome) {
    result() = outcome;
    const std::uint32_t error = driverError(outcome);
    // Bits the driver does not know: it resets the controller before the next command.
    if (error == kErrorControllerUnknown)
        settings_.needReset = true;
    return error ? failed(error) : succeeded();
}

VirtualDriver::Reply VirtualDriver::transfer(const Request& r, bool write) {
    if (r.inSize < sizeof(SectorCommandBlock))
        return failed(kErrorInvalidParameter);
    SectorCommandBlock command;
    std::memcpy(&command, r.in, sizeof command);
    const std::size_t sectors =
        static_cast<std::size_t>((command.endOfTrack - command.sector) & 0xFF);
    if (sectors == 0)
        return failed(kErrorInvalidParameter);
    const std::size_t bytes = std::size_t{128} << std::min<int>(command.sizeCode, 7);
    if (r.outSize < sectors * bytes)
        return failed(kErrorInsufficientBuffer);
    command.flags &= kFlagMfm | kFlagSkipDeleted; // MT never reaches the controller
    const Reply reply =
        controllerOutcome(controller().transfer({write, command, r.out, sectors, bytes}));
    if (reply.error)
        return reply;
    const std::size_t reported =
        static_cast<std::size_t>((result().id.sector - command.sector) & 0xFF) * bytes;
    // More than the DMA took (deleted sectors skipped): the driver reports nothing.
    return succeeded(reported > sectors * bytes ? 0 : reported);
}

VirtualDriver::Reply VirtualDriver::format(const Request& r) {
    FormatTrackBlock block{};
    if (r.inSize >= sizeof block)
        std::memcpy(&block, r.in, sizeof block);
    if (r.inSize < sizeof block || r.inSize < sizeof block + block.sectors * sizeof(SectorIdEntry))
        return failed(kErrorInvalidParameter);
    if (tooSmall(r.outSize, sizeof(ControllerResult)))
        return failed(kErrorInsufficientBuffer);
    block.flags &= kFlagMfm;
    const Reply reply = controllerOutcome(controller().format(block, r.in + sizeof block));
    if (reply.error || r.outSize == 0)
        return reply;
    std::memcpy(r.out, &result(), sizeof(ControllerResult));
    return succeeded(sizeof(ControllerResult));
}

VirtualDriver::Reply VirtualDriver::readId(const Request& r) {
    if (r.inSize < sizeof(IdScanRequest))
        return failed(kErrorInvalidParameter);
    if (r.outSize < sizeof(ReadIdResult))
        return failed(kErrorInsufficientBuffer);
    const Reply reply = controllerOutcome(controller().readId(r.in[0], r.in[1] & 1));
    if (reply.error)
        return reply;
    std::memcpy(r.out, &result(), sizeof(ReadIdResult));
    return succeeded(sizeof(ReadIdResult));
}

VirtualDriver::Reply VirtualDriver::scan(const Request& r, bool timed) {
    const std::size_t header = timed ? sizeof(TimedScanHeader) : 1;
    const std::size_t entry = timed ? sizeof(TimedScanEntry) : sizeof(SectorIdEntry);
    if (r.inSize < sizeof(IdScanRequest))
        return failed(kErrorInvalidParameter);
    if (r.outSize < header)
        return failed(kErrorInsufficientBuffer);
    const int head = r.in[r.inSize >= 3 ? 2 : 1] & 1; // the legacy form: flags, cylinder, head
    if (r.inSize >= 3)
        controller().seek(r.in[1], head, result());
    const std::vector<ScannedId> ids = controller().scanTrack(r.in[0], head);
    // The result of the scan's last READ ID.
    result() = ControllerResult{static_cast<std::uint8_t>(head << 2 | drive_), 0, 0, {}};
    if (!ids.empty())
        result().id = ids.back().id;
    if (ids.size() >= 255 || header + ids.size() * entry > r.outSize)
        return failed(kErrorInsufficientBuffer); // the scan is wasted
    if (timed)
        writeTimedScan(ids, r.out);
    else
        writeScan(ids, r.out);
    return succeeded(header + ids.size() * entry);
}

void VirtualDriver::writeScan(const std::vector<ScannedId>& ids, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        std::memcpy(out + 1 + i * sizeof(SectorIdEntry), &ids[i].id, sizeof(SectorIdEntry));
}

// The first ID seen after the index sync is the first of the sorted list.
void VirtualDriver::writeTimedScan(const std::vector<ScannedId>& ids, std::uint8_t* out) const {
    const TimedScanHeader header{static_cast<std::uint8_t>(ids.size()), 0,
                                 static_cast<std::uint32_t>(mechanism().revolutionMicros())};
    std::memcpy(out, &header, sizeof header);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const TimedScanEntry item{ids[i].micros, ids[i].id};
        std::memcpy(out + sizeof header + i * sizeof item, &item, sizeof item);
    }
}

VirtualDriver::Reply VirtualDriver::driveStatus(const Request& r) {
    if (r.inSize < 1)
        return failed(kErrorInvalidParameter);
    if (r.outSize < 1)
        return failed(kErrorInsufficientBuffer);
    result() = ControllerResult{controller().senseDriveStatus(r.in[0] & 1), 0, 0, {}};
    r.out[0] = result().st0;
    return succeeded(1);
}

// Syncs to the index, then times two more revolutions and halves them.
VirtualDriver::Reply VirtualDriver::trackTime(const Request& r) {
    if (r.outSize < 4)
        return failed(kErrorInsufficientBuffer);
    DriveMechanism& drive = mechanism();
    drive.waitForIndex();
    drive.wait(2 * drive.revolutionMicros());
    const auto micros = static_cast<std::uint32_t>(drive.revolutionMicros());
    std::memcpy(r.out, &micros, sizeof micros);
    return succeeded(4);
}

} // namespace dorvane
