// libFuzzer target for the command line's option parsing: words from the
// input (split at NUL bytes) go through the "--opt=value" split and the option
// parser of a command that takes every option. A parse that succeeds leaves
// settings and options inside their ranges; one that fails says why.
#include "cli/DriveOptions.h"
#include "model/DiskSettings.h"
#include "tests/fuzz/FuzzSupport.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dorvane;
    std::vector<std::string> words(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back().push_back(static_cast<char>(data[i]));
    }
    const std::vector<std::string> split = cli::splitAssignments(words);
    fuzz::require(split.size() >= words.size(), "the split loses no word");

    DiskSettings settings;
    cli::DriveOptions options;
    const unsigned every = cli::TrackOption | cli::SectorOption | cli::AdoptOption |
                           cli::YesOption | cli::NameOption | cli::ForceOption |
                           cli::DriveSettings | cli::OrderOption | cli::DamagedOption |
                           cli::OutputOption | cli::TracksOption;
    const std::string problem = cli::parseOptions(words, every, settings, options);
    if (!problem.empty())
        return 0;
    fuzz::require(settings.dataRate >= Rate500 && settings.dataRate <= Rate250, "a known rate");
    fuzz::require(settings.sectorsPerTrack == sectorsForChoice(settings.sectorsChoice),
                  "the sectors follow the choice");
    fuzz::require(settings.sectorsPerSide == settings.tracks * settings.sectorsPerTrack,
                  "the side's sectors follow the geometry");
    fuzz::require(settings.firstHead <= settings.lastHead && settings.lastHead <= 1,
                  "a head range on the drive");
    fuzz::require(!options.head || (*options.head >= 0 && *options.head <= 2), "a known head");
    fuzz::require(!options.track || (*options.track >= 0 && *options.track <= 83),
                  "a track the drive reaches");
    fuzz::require(!options.sector || (*options.sector >= 1 && *options.sector <= 255),
                  "a sector number");
    fuzz::require(!options.tracks || *options.tracks == 40 || *options.tracks == 41 ||
                      *options.tracks == 80 || *options.tracks == 81,
                  "a split's tracks");
    fuzz::require(!options.order || parseBlockOrder(blockOrderName(*options.order), *options.order),
                  "a known block order");
    return 0;
}
