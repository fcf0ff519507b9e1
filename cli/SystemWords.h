// The system's own words for what the file system and the drive said, on the
// system the program runs on: strerror and errno on Linux, the message table
// and the error number on Windows. The floppy driver's media errors come
// with Windows numbers on every system (the driver and the virtual drive
// answer as the Windows driver does); they are worded plainly everywhere.
#pragma once

#include <cstdint>
#include <string>

namespace dorvane::cli {

// "CRC error", "no diskette", ... for a media error of the driver; empty for
// any other code.
std::string mediaWord(std::uint32_t code);

// "No such file or directory (errno 2)" on Linux, "The system cannot find
// the file specified. (system error 2)" on Windows, for the error code the
// file layer gives; a media error as "CRC error (driver error 23)".
std::string errorText(std::uint32_t code);

// Why no diskette command can run here, naming the virtual drive.
std::string noDriverText(bool driverTooOld);

} // namespace dorvane::cli
