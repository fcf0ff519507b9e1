// ImageDisk files of a read: what a flat image loses, kept in the published
// format. Each sector's ID, the data rate and mode; normal records for
// sectors that read, data-error records (with the last bytes read) for
// sectors whose last attempt failed with a CRC error, unavailable records for
// sectors that never read. A sector whose kept reading came with a deleted
// data mark keeps it: deleted (3) or deleted data-error (7) records. The
// reader of files/ImageDisk.h reads them back.
#pragma once

#include "files/ImageDisk.h"
#include "files/ReadRecord.h"
#include "model/DiskSettings.h"
#include "model/Session.h"
#include "ops/DiskRead.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace dorvane {

// "IMD 1.18: dd/mm/yyyy hh:mm:ss" in local time, CR LF, the comment, CR LF.
std::string imageDiskHeader(std::time_t when, const std::string& comment);

// The ImageDisk mode of an MFM data rate code: 3 (500), 4 (300), 5 (250 kbit/s).
std::uint8_t imageDiskModeOf(int dataRate);

// From a read's outcomes, in read order: one track record per track side,
// on the cylinder the head was at (2 x track with Step+), its sectors in
// number order with the IDs the read asked for (C = track, H = head, R, N = 2).
ImageDiskFile imageDiskOfRead(const std::vector<SectorOutcome>& outcomes,
                              const DiskSettings& settings, const std::string& header);

// From an image and its map, in the image's order: '3' and '4' are normal
// records; '5' is a data-error record when the CRC dump of the image's bytes
// for that sector lies beside the image (the read's "_crc_error_" dump, named
// by the CRC of the very bytes), else unavailable: a bad sector whose last
// attempt read is not told apart from one that never read, and its bytes stay
// in the image. Any other digit, and a sector the image or the map lacks, is
// unavailable. With the image's read record its "data read" decides instead:
// a sector whose data was read is a normal record whatever its digit (a late
// success is 5 in the map), one whose last attempt was a CRC error a
// data-error record, any other unavailable; its deleted mark makes them
// deleted records. Without a record no sector is deleted.
ImageDiskFile imageDiskOfImage(const std::vector<std::uint8_t>& image, const std::string& map,
                               const std::string& basePath, const DiskSettings& settings,
                               const std::string& header, const ReadRecord* record = nullptr);

// Reads `request.path` and its map and writes the ImageDisk file `imdPath`.
// Fails with the system error code of the image's read or the file's write;
// a missing map leaves every sector unavailable.
bool convertImageToImageDisk(const OperationRequest& request, const DiskSettings& settings,
                             const std::string& imdPath, std::uint32_t& error);

} // namespace dorvane
