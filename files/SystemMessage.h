// The system's own message texts for error codes, and the encoding of the read
// log's lines.
#pragma once

#include <cstdint>
#include <string>

namespace dorvane {

// The message text of a system error code as one line (no line breaks, no
// trailing blanks), UTF-8. On Windows from the system's message table in the
// user's default language; elsewhere the English texts of the codes the
// floppy driver and the file layer give. A code without a text gives
// "Unknown error.".
std::string systemMessageText(std::uint32_t code);

// "TEXT (system error CODE)": how every failure names its system error.
std::string systemErrorText(std::uint32_t code);

// The English text of the codes the drive and the file layer report, or
// nullptr: the table behind systemMessageText on the native build.
const char* builtinMessageText(std::uint32_t code);

// A log line as the bytes written to the .log file: in the ANSI code page of
// the thread on Windows (characters it cannot hold become its replacement
// character); unchanged UTF-8 elsewhere.
std::string logLineBytes(const std::string& utf8);

} // namespace dorvane
