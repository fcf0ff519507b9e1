#include "vdrive/DemoDiskette.h"
#include "files/SystemMessage.h"

#include "files/File.h"
#include "files/ImageDiskWriter.h"
#include "model/Interleave.h"

#include <cstdio>
#include <cstring>

namespace dorvane {

namespace {

constexpr int kTracks = 80;
constexpr int kSectors = 10;
constexpr std::size_t kBlock = 512;

struct DemoFile {
    const char* name;
    int firstBlock;
    std::string text;
};

std::string repeatLines(const char* format, int count) {
    std::string text;
    char line[128];
    for (int i = 1; i <= count; ++i) {
        std::snprintf(line, sizeof line, format, i);
        text += line;
    }
    return text;
}

// The files, each starting on its own block, in logical-block order.
std::vector<DemoFile> demoFiles() {
    std::vector<DemoFile> files;
    files.push_back({"README.TXT", 4,
                     "This is the Dorvane demo diskette.\r\n"
                     "It holds one side of an RX50: 80 tracks of 10 sectors of 512 bytes.\r\n"
                     "Some of its sectors read only after a few retries, one never reads\r\n"
                     "without a CRC error, and one has lost its ID field, so that a whole\r\n"
                     "read shows warnings, bad sectors and a CRC dump.\r\n"});
    files.push_back({"HELLO.MAC", 6,
                     "\t.TITLE\tHELLO\r\n\t.MCALL\t.PRINT,.EXIT\r\nSTART:\t.PRINT\t#MSG\r\n"
                     "\t.EXIT\r\nMSG:\t.ASCIZ\t/HELLO FROM THE RX50/\r\n\t.END\tSTART\r\n"});
    files.push_back(
        {"NOTES.TXT", 8,
         repeatLines("Note %03d: the interleave is logical, the IDs are 1..10.\r\n", 40)});
    // Russian text in KOI8-R, the code page of the viewer at start-up: "Hello!
    // This is the Dorvane demo diskette. / This block is written in KOI-8
    // (KOI8-R): / choose "KOI-8" or "CP1251" in the menu and compare." and a
    // pangram. Logical block 14 lies at track 2, sector 1.
    files.push_back({"RUSSIAN.TXT", 14,
                     "\360\322\311\327\305\324! \374\324\317 "
                     "\304\305\315\317\316\323\324\322\301\303\311\317\316\316\301\321 "
                     "\304\311\323\313\305\324\301 Dorvane.\r\n"
                     "\374\324\317\324 \302\314\317\313 \332\301\320\311\323\301\316 \327 "
                     "\313\317\304\311\322\317\327\313\305 \353\357\351-8 (KOI8-R):\r\n"
                     "\327\331\302\305\322\311\324\305 \327 \315\305\316\300 \"KOI-8\" "
                     "\311\314\311 \"CP1251\" \311 \323\322\301\327\316\311\324\305.\r\n"
                     "\363\337\305\333\330 \326\305 \305\335\243 \334\324\311\310 "
                     "\315\321\307\313\311\310 \306\322\301\316\303\325\332\323\313\311\310 "
                     "\302\325\314\317\313, \304\301 \327\331\320\305\312 \336\301\300.\r\n"});
    files.push_back({"CHAPTER.TXT", 20,
                     repeatLines("Line %04d of a long text that fills many blocks of the "
                                 "diskette, one after another.\r\n",
                                 400)});
    return files;
}

int blocksOf(const std::string& text) {
    return static_cast<int>((text.size() + kBlock - 1) / kBlock);
}

// (track, sector number) of a logical block.
void placeOf(int lbn, int& track, int& sector) {
    const int index = lbnToSectorIndex(lbn);
    track = index / kSectors;
    sector = index % kSectors + 1;
}

void putBlock(std::vector<std::uint8_t>& image, int lbn, const std::uint8_t* bytes,
              std::size_t size) {
    const std::size_t at = static_cast<std::size_t>(lbnToSectorIndex(lbn)) * kBlock;
    std::memset(image.data() + at, 0, kBlock);
    std::memcpy(image.data() + at, bytes, size < kBlock ? size : kBlock);
}

std::string faultLine(const char* verb, int lbn, const char* tail) {
    int track = 0, sector = 0;
    placeOf(lbn, track, sector);
    return std::string(verb) + " 0 " + std::to_string(track) + " " + std::to_string(sector) + tail +
           "\n";
}

} // namespace

std::vector<std::uint8_t> demoSectorImage() {
    // Unused blocks hold the filler of a freshly formatted diskette.
    std::vector<std::uint8_t> image(kTracks * kSectors * kBlock, 0xE5);
    const std::string boot = "DORVANE DEMO DISKETTE - RX50, 80 TRACKS x 10 SECTORS x 512 BYTES\r\n"
                             "This block is logical block 0.\r\n";
    putBlock(image, 0, reinterpret_cast<const std::uint8_t*>(boot.data()), boot.size());

    // Block 1: a directory of 32-byte entries: name (12 bytes, blank padded),
    // first block and block count (16-bit little-endian), byte count (32-bit
    // little-endian), 12 bytes of date text.
    std::uint8_t directory[kBlock] = {};
    std::memcpy(directory, "DIRECTORY   ", 12);
    int entry = 1;
    for (const DemoFile& file : demoFiles()) {
        std::uint8_t* e = directory + 32 * entry++;
        std::memset(e, ' ', 12);
        std::memcpy(e, file.name, std::strlen(file.name));
        const int blocks = blocksOf(file.text);
        const auto bytes = static_cast<std::uint32_t>(file.text.size());
        e[12] = static_cast<std::uint8_t>(file.firstBlock);
        e[13] = static_cast<std::uint8_t>(file.firstBlock >> 8);
        e[14] = static_cast<std::uint8_t>(blocks);
        e[15] = static_cast<std::uint8_t>(blocks >> 8);
        for (int i = 0; i < 4; ++i)
            e[16 + i] = static_cast<std::uint8_t>(bytes >> (8 * i));
        std::memcpy(e + 20, "06-DEC-1986 ", 12);
    }
    putBlock(image, 1, directory, sizeof directory);

    for (const DemoFile& file : demoFiles()) {
        const int blocks = blocksOf(file.text);
        for (int b = 0; b < blocks; ++b) {
            const std::size_t from = static_cast<std::size_t>(b) * kBlock;
            putBlock(image, file.firstBlock + b,
                     reinterpret_cast<const std::uint8_t*>(file.text.data()) + from,
                     file.text.size() - from);
        }
    }
    return image;
}

ImageDiskFile demoImageDisk() {
    const std::vector<std::uint8_t> image = demoSectorImage();
    ImageDiskFile file;
    file.header = "IMD 1.18: 06/12/1986 12:00:00\r\nDorvane demo diskette: one RX50 side\r\n";
    file.hasTerminator = true;
    for (int t = 0; t < kTracks; ++t) {
        ImageDiskTrack track;
        track.mode = 4; // 300 kbit/s MFM
        track.cylinder = static_cast<std::uint8_t>(t);
        track.head = 0;
        track.sizeCode = 2;
        track.sectorSize = kBlock;
        for (int s = 1; s <= kSectors; ++s) {
            ImageDiskSector sector;
            sector.number = static_cast<std::uint8_t>(s);
            sector.cylinder = static_cast<std::uint8_t>(t);
            sector.head = 0;
            sector.type = 1;
            const auto at = image.begin() + (t * kSectors + s - 1) * static_cast<long>(kBlock);
            sector.data.assign(at, at + kBlock);
            track.sectors.push_back(std::move(sector));
        }
        file.tracks.push_back(std::move(track));
    }
    return file;
}

std::string demoFaultScript() {
    std::string script =
        "# Faults of the Dorvane demo diskette, applied by the virtual drive.\n"
        "# crc-then-ok HEAD CYLINDER SECTOR N: the next N reads fail with a CRC error\n"
        "# crc HEAD CYLINDER SECTOR: every read fails with a CRC error\n"
        "# missing HEAD CYLINDER SECTOR: the sector's ID is gone\n"
        "# seek-fail CYLINDER N: the head mis-steps on the next N seeks to the cylinder\n";
    script += "# README.TXT, its first block: reads on the third attempt\n";
    script += faultLine("crc-then-ok", 4, " 2");
    script += "# NOTES.TXT, a block: reads on the sixth attempt\n";
    script += faultLine("crc-then-ok", 9, " 5");
    script += "# CHAPTER.TXT, a block: reads on the ninth attempt\n";
    script += faultLine("crc-then-ok", 25, " 8");
    script += "# CHAPTER.TXT, another block: never reads without a CRC error\n";
    script += faultLine("crc", 31, "");
    script += "# An unused block whose ID field is lost\n";
    script += faultLine("missing", 500, "");
    script += "# The first seek to cylinder 60 lands the head one cylinder off\n";
    script += "seek-fail 60 1\n";
    return script;
}

bool writeDemoDiskette(const std::string& path, std::string& error) {
    std::uint32_t code = 0;
    if (!writeImageDiskFile(path, demoImageDisk(), code)) {
        error = "cannot write " + path + ": " + systemErrorText(code);
        return false;
    }
    const std::string faults = path + ".faults";
    const std::string script = demoFaultScript();
    File out(faults, kCreateExclusive);
    if (!out.isOpen() || out.write(script.data(), script.size()) != script.size()) {
        error = "cannot write " + faults + ": " + systemErrorText(out.error());
        return false;
    }
    return true;
}

} // namespace dorvane
