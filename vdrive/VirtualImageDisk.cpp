// Loading the virtual diskette from an ImageDisk file: every track record
// becomes the track side it names, with its sector IDs in record order (the
// order ImageDisk found them around the track), its rate and density, and its
// data, deleted and data-error marks.
#include "files/ImageDisk.h"
#include "files/SystemMessage.h"
#include "vdrive/VirtualDiskette.h"

namespace dorvane {

namespace {

int rateCode(std::uint8_t mode) {
    switch (imageDiskRate(mode)) {
    case 500000:
        return 0;
    case 300000:
        return 1;
    default:
        return 2;
    }
}

} // namespace

bool VirtualDiskette::fromImageDisk(const std::string& path, VirtualDiskette& out,
                                    std::string& error) {
    ImageDiskFile file;
    std::uint32_t code = 0;
    if (!readImageDiskFile(path, file, code)) {
        error = "cannot read " + path + ": " + systemErrorText(code);
        return false;
    }
    if (!file.hasTerminator || file.header.compare(0, 4, "IMD ") != 0) {
        error = path + " is not an ImageDisk file";
        return false;
    }
    VirtualDiskette disk;
    // A damaged file loads as far as it could be read: a user rescuing a
    // diskette image wants whatever it still holds.
    for (const ImageDiskTrack& record : file.tracks) {
        const int head = record.head & 0x0F;
        if (record.cylinder >= kCylinders || head >= kHeads) {
            error = path + ": a track at cylinder " + std::to_string(record.cylinder) + " head " +
                    std::to_string(head) + " lies outside the drive";
            return false;
        }
        VirtualTrack& track = disk.track(record.cylinder, head);
        track = VirtualTrack{};
        track.dataRate = rateCode(record.mode);
        track.fm = imageDiskEncoding(record.mode) == 1;
        const auto sizeCode = static_cast<std::uint8_t>(record.sizeCode & 0x1F);
        for (const ImageDiskSector& found : record.sectors) {
            VirtualSector sector;
            sector.id = SectorIdEntry{found.cylinder, found.head, found.number, sizeCode};
            sector.data = found.data;
            sector.data.resize(record.sectorSize, 0);
            if (imageDiskAddressMark(found.type) == 0) {
                sector.noData = true; // the ID was there, its data never read
            } else {
                sector.deleted = isDeletedType(found.type);
                if (isDataErrorType(found.type)) {
                    sector.permanentCrc = true;
                    sector.crcData = sector.data;
                }
            }
            track.sectors.push_back(std::move(sector));
        }
    }
    out = std::move(disk);
    return true;
}

} // namespace dorvane
