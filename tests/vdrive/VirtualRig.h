// Drive A: of a virtual drive holding one diskette, open and at a chosen rate.
#pragma once

#include "drive/FloppyController.h"
#include "model/DiskSettings.h"
#include "tests/support/TestFiles.h"
#include "vdrive/VirtualDrive.h"

#include <gtest/gtest.h>

#include <memory>

namespace dorvane::test {

// An RX50 side from a sector-order image: 80 tracks of 10 sectors on head 0, 300 kbit/s.
inline std::shared_ptr<VirtualDiskette> rx50Side(const Bytes& image) {
    return std::make_shared<VirtualDiskette>(VirtualDiskette::fromRaw(image, 80, 10, 1, Rate300));
}

struct VirtualRig {
    std::shared_ptr<VirtualDiskette> disk;
    VirtualDrive drive;
    FloppyController fdc{drive};

    explicit VirtualRig(std::shared_ptr<VirtualDiskette> diskette, int rate = Rate300,
                        VirtualTiming timing = {})
        : disk(std::move(diskette)), drive(disk, nullptr, timing) {
        EXPECT_TRUE(drive.open("\\\\.\\fdraw0"));
        EXPECT_TRUE(fdc.rateSelect(rate));
    }
    // The error a control left: 0 when it succeeded.
    std::uint32_t error(bool succeeded) const { return succeeded ? 0 : drive.lastError(); }
    // Reads one sector into `out` (0xEE where nothing came back): the error, 0 when it read.
    std::uint32_t read(int cylinder, int head, int sector, Bytes& out) {
        out.assign(512, 0xEE);
        const SectorCommandBlock command = sectorCommand(cylinder, head, sector, sector + 1, 0x10);
        return error(fdc.readData(command, out.data(), out.size()));
    }
    std::uint32_t read(int cylinder, int head, int sector) {
        Bytes out;
        return read(cylinder, head, sector, out);
    }
};

} // namespace dorvane::test
