// The .dat sector files: exactly 512 bytes of a sector, no header, named after
// the sector and the CRC-32 of the very bytes they hold.
#pragma once

#include <cstdint>
#include <string>

namespace dorvane {

// The kinds of dump, as they appear in the names.
extern const char* const kCrcErrorDump; // "crc_error": whole-disk read, attempt with a CRC error
extern const char* const kErrorCrcDump; // "errorcrc": single-sector read, attempt with a CRC error
extern const char* const kSuccessDump;  // "success": single-sector read, the final good read

// "<prefix>_<kind>_Head%i_Track%i_Sector%i_%08X.dat". False when the name does
// not fit the 260-character name buffer: the dump is then skipped.
bool sectorDumpName(std::string& name, const std::string& prefix, const char* kind, int head,
                    int track, int sector, std::uint32_t crc);

// Writes the 512 bytes to the dump file of that sector (write access, no
// sharing, an existing file replaced). Returns false when the name does not fit
// or the file cannot be written; the caller goes on either way.
bool writeSectorDump(const std::string& prefix, const char* kind, int head, int track, int sector,
                     const std::uint8_t* data);

// A failed read attempt of a sector: a CRC error dumps the bytes it returned
// (as `kind`); returns the legend the sector's record then takes: CrcWarning,
// NotFound when the sector was not found, else Warning.
std::int32_t noteFailedRead(std::uint32_t error, const std::string& prefix, const char* kind,
                            int head, int track, int sector, const std::uint8_t* data);

} // namespace dorvane
