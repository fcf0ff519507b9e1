#include "files/ImageDiskConversion.h"

#include "files/Conversion.h"
#include "files/File.h"
#include "model/Text.h"

#include <algorithm>

namespace dorvane {

namespace {

// Appends ASCII or Latin-1 bytes as UTF-16LE code units of the same value.
void appendUnits(std::vector<std::uint8_t>& out, const std::string& text) {
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
}

} // namespace

ImageDiskOutputs renderImageDisk(const ImageDiskFile& file) {
    ImageDiskOutputs out;
    out.report = {0xFF, 0xFE};
    appendUnits(out.report, file.header);

    int highestCylinder = 0, highestHead = 0;
    for (const ImageDiskTrack& track : file.tracks) {
        highestCylinder = std::max<int>(highestCylinder, track.cylinder);
        highestHead = std::max<int>(highestHead, track.head);
    }
    const std::size_t expected = std::size_t(highestHead + 1) * std::size_t(highestCylinder + 1);

    int firstRate = 0, firstCount = 0, firstMode = 0;
    if (!file.tracks.empty()) {
        const ImageDiskTrack& first = file.tracks.front();
        firstRate = imageDiskRate(first.mode);
        firstCount = static_cast<int>(first.sectors.size());
        firstMode = first.mode;
    }
    appendUnits(out.report,
                formatText("IMD File: %d track, %d side, %d bit/s, %d sectors, mode %d\n",
                           highestCylinder + 1, highestHead + 1, firstRate, firstCount, firstMode));

    std::size_t rawSize = 0;
    for (std::size_t i = 0; i < std::min(expected, file.tracks.size()); ++i)
        rawSize += file.tracks[i].sectors.size() * file.tracks[i].sectorSize;
    out.raw.reserve(rawSize);

    for (std::size_t i = 0; i < expected; ++i) {
        if (i >= file.tracks.size()) {
            appendUnits(out.report, "missing sector data...\n");
            continue;
        }
        const ImageDiskTrack& track = file.tracks[i];
        const int encoding = imageDiskEncoding(track.mode);
        appendUnits(
            out.report,
            formatText("Track %d Head %d: %d kbits/s, %d x %d bytes sectors, encoding: %d\n",
                       track.cylinder, track.head, imageDiskRate(track.mode) / 1000,
                       static_cast<int>(track.sectors.size()), static_cast<int>(track.sectorSize),
                       encoding));
        for (const ImageDiskSector& sector : track.sectors)
            out.raw.insert(out.raw.end(), sector.data.begin(), sector.data.end());
        for (const ImageDiskSector& sector : track.sectors)
            appendUnits(out.report, formatText("Sector:%d %x %x %x\n", sector.number,
                                               imageDiskAddressMark(sector.type), 0, encoding));
    }
    return out;
}

ConversionResult convertImageDisk(const std::string& path, const std::string& basePath) {
    ConversionResult failed{
        false,
        formatText("Can't proceed the Tesselby ImageDisk file %s", path.c_str()),
        {},
        ResultIcon::None};

    std::string reportPath, rawPath;
    if (!formatName(reportPath, "%s.txt", basePath.c_str()) ||
        !formatName(rawPath, "%s.raw", basePath.c_str()))
        return failed;
    // An input picked through "All files" may itself be the report or the raw
    // dump: creating the outputs would destroy it before it is read. Refuse,
    // and create nothing.
    for (const std::string& output : {reportPath, rawPath}) {
        if (output == path || sameFile(output, path))
            return {false,
                    formatText("Can't proceed the Tesselby ImageDisk file %s: its .txt or .raw "
                               "output would overwrite it",
                               path.c_str()),
                    {},
                    ResultIcon::None};
    }

    // Write-through, never "no buffering" (that needs sector-aligned buffers):
    // both outputs are built in memory and written in one piece each.
    constexpr FileMode reportMode{Access::ReadWrite, Share::Read, Creation::CreateAlways, true};
    constexpr FileMode rawMode{Access::Write, Share::ReadWrite, Creation::CreateAlways, false};

    File report(reportPath, reportMode);
    if (!report.isOpen())
        return failed;
    const std::uint8_t bom[2] = {0xFF, 0xFE};
    if (report.write(bom, 2) != 2)
        return failed;

    // Others may read the input meanwhile, not write it.
    ImageDiskFile file;
    std::uint32_t error = 0;
    if (!readImageDiskFile(path, file, error))
        return failed;
    // Without a 0x1A the file is no ImageDisk file; a damaged record (a size
    // code above 6, or sectors beyond any real diskette) makes the rest of it
    // unreadable. Neither is converted: the report keeps only its mark.
    if (!file.hasTerminator || file.damaged)
        return failed;

    File raw(rawPath, rawMode);
    if (!raw.isOpen())
        return failed;

    const ImageDiskOutputs outputs = renderImageDisk(file);
    const bool rawWritten = raw.write(outputs.raw.data(), outputs.raw.size()) == outputs.raw.size();
    const std::size_t body = outputs.report.size() - 2;
    const bool reportWritten = report.write(outputs.report.data() + 2, body) == body;
    if (!rawWritten || !reportWritten)
        return failed;

    return {true,
            formatText("Tesselby ImageDisk '%s'-file has converted to RAW sectors", path.c_str()),
            {},
            ResultIcon::None};
}

} // namespace dorvane
