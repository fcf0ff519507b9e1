#include "cli/RecordOptions.h"

#include "cli/DriveOptions.h"
#include "cli/Report.h"

#include <algorithm>

namespace dorvane::cli {

namespace {

bool given(const std::vector<std::string>& args, const char* option) {
    return std::find(args.begin(), args.end(), option) != args.end();
}

} // namespace

void applyRecordGeometry(const RecordGeometry& geometry, DiskSettings& settings) {
    settings.dataRate = geometry.rateKbps == 500   ? Rate500
                        : geometry.rateKbps == 250 ? Rate250
                                                   : Rate300;
    for (int choice = 0; choice < kSectorsChoices; ++choice)
        if (sectorsForChoice(choice) == geometry.sectorsPerTrack)
            settings.sectorsChoice = choice;
    settings.chooseHeads(geometry.sideCount() == 2 ? BothHeads
                                                   : static_cast<HeadChoice>(geometry.firstHead));
    settings.doubleStep = geometry.step;
    settings.cyl81 = geometry.cyl81;
    settings.fillerByte = geometry.filler;
    settings.recomputeGeometry();
}

bool loadImageRecord(const std::string& basePath, std::optional<ReadRecord>& record,
                     const char* what) {
    std::string path, error;
    if (!recordPathOf(basePath, path))
        return true;
    record = loadRecord(path, error);
    if (!error.empty()) {
        printFailure(std::string(what) + ": the read record " + path + " cannot be read: " + error);
        return false;
    }
    return true;
}

int takeRecordGeometry(const std::vector<std::string>& rawArgs, const ReadRecord& record,
                       const std::string& recordPath, DiskSettings& settings, const char* what) {
    const std::vector<std::string> args = splitAssignments(rawArgs);
    const RecordGeometry& recorded = record.geometry;
    RecordGeometry asked = geometryOf(settings);
    if (!given(args, "--rate"))
        asked.rateKbps = recorded.rateKbps;
    if (!given(args, "--sectors"))
        asked.sectorsPerTrack = recorded.sectorsPerTrack;
    if (!given(args, "--head"))
        asked.firstHead = recorded.firstHead, asked.lastHead = recorded.lastHead;
    if (!given(args, "--step"))
        asked.step = recorded.step;
    if (!given(args, "--cyl81"))
        asked.cyl81 = recorded.cyl81;
    if (!given(args, "--step") && !given(args, "--cyl81"))
        asked.tracks = recorded.tracks;
    if (!given(args, "--filler"))
        asked.filler = recorded.filler;
    if (const std::string difference = geometryDifference(asked, recorded); !difference.empty()) {
        printFailure(std::string(what) + ": the options contradict the read record " + recordPath +
                     " (" + difference + "): nothing done; leave them out, the " +
                     "record gives the geometry");
        return ExitFailure;
    }
    applyRecordGeometry(recorded, settings);
    return 0;
}

} // namespace dorvane::cli
