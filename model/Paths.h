// File-name rules shared by every derived name (maps, logs, dumps, outputs).
#pragma once

#include <filesystem>
#include <string>

namespace dorvane {

// The path without the extension of its file name: everything before the last
// '.' of the name part. A name without '.' leaves the path whole; a '.' in a
// folder never cuts. Both '\' and '/' separate folders.
std::string basePathOf(const std::string& path);

// The file name without its folder, cut before its last '.' ("C:\disks\pro.dsk"
// gives "pro"): the prefix of the single-sector dump files.
std::string imageNameOf(const std::string& path);

// The name made absolute against the current folder; the name as it is when
// that fails.
std::string absolutePathOf(const std::string& name);

// Texts and paths travel through the program as UTF-8; these convert at the
// edge to the platform's own path type.
std::filesystem::path pathFromUtf8(const std::string& utf8);
std::string utf8FromPath(const std::filesystem::path& path);

} // namespace dorvane
