#include "ops/SectorDump.h"

#include "drive/DriverBlocks.h"
#include "files/File.h"
#include "model/Crc32.h"
#include "model/Image.h"
#include "model/Text.h"

namespace dorvane {

const char* const kCrcErrorDump = "crc_error";
const char* const kErrorCrcDump = "errorcrc";
const char* const kSuccessDump = "success";

bool sectorDumpName(std::string& name, const std::string& prefix, const char* kind, int head,
                    int track, int sector, std::uint32_t crc) {
    return formatName(name, "%s_%s_Head%i_Track%i_Sector%i_%08X.dat", prefix.c_str(), kind, head,
                      track, sector, static_cast<unsigned>(crc));
}

bool writeSectorDump(const std::string& prefix, const char* kind, int head, int track, int sector,
                     const std::uint8_t* data) {
    std::string name;
    if (!sectorDumpName(name, prefix, kind, head, track, sector, crc32Sector(data)))
        return false;
    File file(name, kCreateExclusive);
    return file.isOpen() && file.write(data, kSectorBytes) == kSectorBytes;
}

std::int32_t noteFailedRead(std::uint32_t error, const std::string& prefix, const char* kind,
                            int head, int track, int sector, const std::uint8_t* data) {
    if (error == kErrorCrc) {
        writeSectorDump(prefix, kind, head, track, sector, data);
        return CrcWarning;
    }
    return error == kErrorSectorNotFound ? NotFound : Warning;
}

} // namespace dorvane
