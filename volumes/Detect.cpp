#include "volumes/Detect.h"

#include "model/Text.h"

#include <algorithm>

namespace dorvane {

namespace {

constexpr int kFoundScore = 20;
constexpr int kLikelyScore = 50;
constexpr int kCertainScore = 80;
// A reading this close to the best one leaves the best in doubt.
constexpr int kCloseScore = 20;

struct Reading {
    BlockOrder order;
    const FileSystem* fileSystem;
    Probe probe;
    int preference; // lower wins a tie
};

// On a tie the file system's own order wins, then the physical order (an
// image in block order).
int preferenceOf(BlockOrder order, const FileSystem& fileSystem) {
    if (order == fileSystem.nativeOrder())
        return 0;
    return order == BlockOrder::Physical ? 1 : 2;
}

std::vector<Reading> readings(const std::vector<std::uint8_t>& image,
                              const std::vector<std::uint8_t>& map) {
    std::vector<Reading> all;
    for (const BlockOrder order : kBlockOrders) {
        const Volume volume = Volume::fromSectors(image, order, map);
        for (const FileSystem* fileSystem : fileSystems()) {
            Probe probe = fileSystem->probe(volume);
            if (probe.score >= kFoundScore)
                all.push_back(
                    {order, fileSystem, std::move(probe), preferenceOf(order, *fileSystem)});
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const Reading& a, const Reading& b) {
        if (a.probe.score != b.probe.score)
            return a.probe.score > b.probe.score;
        return a.preference < b.preference;
    });
    return all;
}

} // namespace

const char* surenessName(Sureness sureness) {
    switch (sureness) {
    case Sureness::Certain:
        return "certain";
    case Sureness::Likely:
        return "likely";
    case Sureness::Guess:
        return "a guess";
    case Sureness::None:
        break;
    }
    return "nothing found";
}

Detection detectVolume(const std::vector<std::uint8_t>& image,
                       const std::vector<std::uint8_t>& map) {
    Detection detection;
    const std::vector<Reading> all = readings(image, map);
    if (all.empty())
        return detection;
    const Reading& best = all.front();
    detection.order = best.order;
    detection.fileSystem = best.fileSystem;
    detection.probe = best.probe;
    bool close = false;
    for (std::size_t i = 1; i < all.size(); ++i)
        if (all[i].probe.score + kCloseScore > best.probe.score) {
            close = true;
            detection.alternatives.push_back(
                formatText("%s order: %s (%s)", blockOrderName(all[i].order),
                           all[i].fileSystem->name(), all[i].probe.evidence.c_str()));
        }
    const int score = best.probe.score;
    detection.sureness = score >= kCertainScore && !close ? Sureness::Certain
                         : score >= kLikelyScore          ? Sureness::Likely
                                                          : Sureness::Guess;
    return detection;
}

} // namespace dorvane
