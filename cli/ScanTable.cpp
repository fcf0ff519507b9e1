#include "cli/ScanTable.h"

#include "cli/Report.h"
#include "model/Text.h"

#include <algorithm>
#include <map>

namespace dorvane::cli {

namespace {

constexpr int kRateKbits[] = {500, 300, 250};

// "512 bytes" for a size code (128 << code).
std::string sizeText(int code) {
    return code <= 7 ? std::to_string(128 << code) + " bytes" : formatText("size code %d", code);
}

// "512 bytes", or "512 bytes (9), 1024 bytes (1)" when they differ.
std::string sizesText(const std::vector<SectorIdEntry>& ids) {
    std::map<int, int> counts;
    for (const SectorIdEntry& id : ids)
        ++counts[id.sizeCode];
    if (counts.size() == 1)
        return sizeText(counts.begin()->first);
    std::string text;
    for (const auto& [code, count] : counts)
        text.append(text.empty() ? "" : ", ")
            .append(sizeText(code))
            .append(" (")
            .append(std::to_string(count))
            .append(")");
    return text;
}

// The sector numbers, with those found more than once said so.
std::string numbersText(const std::vector<SectorIdEntry>& ids) {
    std::map<int, int> seen;
    std::vector<int> numbers;
    for (const SectorIdEntry& id : ids)
        if (seen[id.sector]++ == 0)
            numbers.push_back(id.sector);
    std::string text = numberRanges(numbers);
    for (const auto& [number, count] : seen)
        if (count > 1)
            text += formatText(" (%d seen %d times)", number, count);
    return text;
}

} // namespace

ScanLayout layoutOf(const RateScan& scan, int track) {
    ScanLayout layout;
    std::vector<bool> present(256, false);
    for (const SectorIdEntry& id : scan.ids) {
        layout.highest = std::max(layout.highest, static_cast<int>(id.sector));
        layout.all512 = layout.all512 && id.sizeCode == kSizeCode512;
        present[id.sector] = true;
        if (id.cylinder != track &&
            std::find(layout.otherCylinders.begin(), layout.otherCylinders.end(), id.cylinder) ==
                layout.otherCylinders.end())
            layout.otherCylinders.push_back(id.cylinder);
    }
    for (int number = 1; number <= layout.highest; ++number)
        if (!present[static_cast<std::size_t>(number)])
            layout.missing.push_back(number);
    for (int choice = 0; choice < kSectorsChoices && layout.sectorsChoice < 0; ++choice)
        if (layout.highest <= sectorsForChoice(choice))
            layout.sectorsChoice = choice;
    return layout;
}

std::string rateText(int rate) {
    return std::to_string(kRateKbits[std::clamp(rate, 0, 2)]) + " kbit/s";
}

std::string numberRanges(std::vector<int> numbers) {
    std::sort(numbers.begin(), numbers.end());
    std::string text;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t end = i;
        while (end + 1 < numbers.size() && numbers[end + 1] == numbers[end] + 1)
            ++end;
        text.append(text.empty() ? "" : ", ").append(std::to_string(numbers[i]));
        if (end > i)
            text.append("-").append(std::to_string(numbers[end]));
        i = end + 1;
    }
    return text;
}

std::string scanTable(int track, int head, const std::vector<RateScan>& scans) {
    std::string text = formatText("Track %d, head %d:\n", track, head);
    text += formatText("  %-11s %4s  %-24s %s\n", "rate", "IDs", "sector numbers", "size");
    for (const RateScan& scan : scans) {
        const std::string rate = rateText(scan.rate);
        if (scan.error != 0)
            text += formatText("  %-11s %4s  %s\n", rate.c_str(), "-",
                               ("no answer: " + resultWord(scan.error)).c_str());
        else if (scan.ids.empty())
            text += formatText("  %-11s %4s  %s\n", rate.c_str(), "0", "none");
        else
            text += formatText("  %-11s %4d  %-24s %s\n", rate.c_str(),
                               static_cast<int>(scan.ids.size()), numbersText(scan.ids).c_str(),
                               sizesText(scan.ids).c_str());
    }
    return text;
}

const RateScan* firstFound(const std::vector<RateScan>& scans) {
    for (const RateScan& scan : scans)
        if (scan.error == 0 && !scan.ids.empty())
            return &scan;
    return nullptr;
}

std::string layoutText(const RateScan& scan, int track, bool adopting) {
    const ScanLayout layout = layoutOf(scan, track);
    std::string text =
        formatText("Found at %s: sectors 1 to %d", rateText(scan.rate).c_str(), layout.highest);
    if (!layout.missing.empty())
        text += ", no ID for " + numberRanges(layout.missing);
    if (!layout.otherCylinders.empty())
        text += ", IDs naming cylinder " + numberRanges(layout.otherCylinders);
    if (!layout.all512 || layout.sectorsChoice < 0)
        return text + ": not a layout dorvane-cli reads (512-byte sectors, at most 18)";
    text += formatText(": read with --rate %d --sectors %d", kRateKbits[scan.rate],
                       sectorsForChoice(layout.sectorsChoice));
    if (!adopting)
        text += " (--adopt saves them in the profile)";
    return text;
}

std::string profileSavedText(const DiskSettings& settings, const std::string& location) {
    return "Profile saved: " + rateText(settings.dataRate) + ", " +
           std::to_string(settings.sectorsPerTrack.load()) + " sectors per track (" + location +
           ")";
}

} // namespace dorvane::cli
