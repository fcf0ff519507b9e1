// The read record and the options of a command that works on what a read
// left: the geometry comes from the record, and an option that contradicts
// it refuses the run.
#pragma once

#include "cli/Command.h"
#include "files/ReadRecord.h"
#include "model/DiskSettings.h"

#include <optional>
#include <string>
#include <vector>

namespace dorvane::cli {

// Sets `settings` to the record's geometry (rate, sectors, heads, tracks,
// step, cyl81, filler).
void applyRecordGeometry(const RecordGeometry& geometry, DiskSettings& settings);

// BASE.rec of an image, loaded. False (and said on stderr) when a record is
// there but cannot be read; `record` stays empty when there is none.
bool loadImageRecord(const std::string& basePath, std::optional<ReadRecord>& record,
                     const char* what);

// The options the command line gave that decide the geometry, compared with
// the record; on agreement the record's geometry becomes the settings.
// Returns 0, or ExitFailure after naming the contradiction.
int takeRecordGeometry(const std::vector<std::string>& args, const ReadRecord& record,
                       const std::string& recordPath, DiskSettings& settings, const char* what);

} // namespace dorvane::cli
