// The file systems one by one, for the list detection tries and for tests.
#pragma once

#include "volumes/FileSystem.h"

namespace dorvane {

const FileSystem& rt11FileSystem();
const FileSystem& ods1FileSystem();
const FileSystem& ods2FileSystem(); // recognised only
const FileSystem& rainbowDosFileSystem();
const FileSystem& cpm86FileSystem();

} // namespace dorvane
