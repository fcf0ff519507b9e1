#include "files/Conversion.h"

#include "files/File.h"
#include "model/Image.h"
#include "model/Text.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace dorvane {

const char* const kConvertInstructionCaption = "Short converting instruction";

const char* const kToSectorOrderInstruction =
    "This operation reorder RX50 disk images between sector order and lbn order\n"
    "(converts sequential block image files to rx50 sector files).\n"
    "Useful for exchanging data between emulators and a real PDP-11/Pro325/350/380, MC-0585, "
    "MC-0515. At next step: You only need to find and select the .img file on the 'Open "
    "dialog' window.\n"
    "Converted image will be saved with \".dsk\" file extension in the same directory.\n\n"
    "Continue?";

const char* const kToLbnInstruction =
    "This operation reorder RX50K disk images between DZ sector and lbn orders\n"
    "(converts sequential block image files to rx50 sector files).\n"
    "Useful for exchanging data between emulators and a real PDP-11, VAX, Pro3XX, MC-0585, "
    "MC-0515. At next step: You only need to find and select the .dsk file on the 'Open "
    "dialog' window.\n"
    "Converted image will be saved with \".img\" file extension in the same directory.\n\n"
    "Continue?";

namespace {

constexpr int kBlocks = 800; // one RX50 side, whatever the settings say

ConversionResult badProcessing(std::string text) {
    return {false, std::move(text), "Bad processing", ResultIcon::Exclamation};
}

// Direction of a run: true reads LBN order and writes sector order (208).
ConversionResult convertRx50(const std::string& path, const std::string& basePath,
                             bool toSectorOrder, BlockOrder order) {
    // No "no buffering": it needs sector-aligned buffers and offsets, which
    // gain nothing here. Write-through keeps the promise that the converted
    // image is on the disk when the success message shows.
    constexpr FileMode inputMode{Access::Read, Share::ReadWrite, Creation::OpenExisting, true};
    constexpr FileMode outputMode{Access::ReadWrite, Share::Read, Creation::CreateAlways, true};

    File input(path, inputMode);
    if (!input.isOpen())
        return badProcessing(formatText("Open input file\n%s\nFAILED!\nSystem error code: %d",
                                        path.c_str(), static_cast<int>(input.error())));

    std::string outputPath;
    if (!formatName(outputPath, "%s%s", basePath.c_str(), toSectorOrder ? ".dsk" : ".img"))
        return badProcessing(formatText("Create output file\n%s%s\nFAILED!\nSystem error code: %d",
                                        basePath.c_str(), toSectorOrder ? ".dsk" : ".img",
                                        static_cast<int>(kErrorFilenameTooLongCode)));
    // An input that already has the output's extension would be replaced by
    // its own conversion before it is read: refuse, and leave it as it is.
    if (outputPath == path || sameFile(outputPath, path))
        return badProcessing(formatText("Create output file\n%s\nFAILED!\nThe output would "
                                        "replace the input file, which is left unchanged.",
                                        outputPath.c_str()));

    File output(outputPath, outputMode);
    if (!output.isOpen())
        return badProcessing(formatText("Create output file\n%s\nFAILED!\nSystem error code: %d",
                                        outputPath.c_str(), static_cast<int>(output.error())));

    // The whole input in one read; what it lacks of its 800 blocks stays
    // zero, and each block missing wholly or in part is a read warning.
    constexpr std::size_t kImageBytes = std::size_t{kBlocks} * kSectorBytes;
    std::vector<std::uint8_t> in(kImageBytes, 0);
    const std::size_t got = input.read(in.data(), kImageBytes);
    const int readWarnings = kBlocks - static_cast<int>(got / kSectorBytes);

    // One write of the whole image: with write-through, 800 separate writes
    // would each wait for the disk.
    const std::vector<std::uint8_t> out = reorderRx50Side(in, toSectorOrder, order);
    const std::size_t written = output.write(out.data(), out.size());
    const int writeWarnings = kBlocks - static_cast<int>(written / kSectorBytes);

    input.close();
    output.close();
    return {true,
            formatText("Successfully converted to\n%s\n(%i read warnings, %i write warnings)",
                       outputPath.c_str(), readWarnings, writeWarnings),
            "Processing complete", ResultIcon::Information};
}

} // namespace

std::vector<std::uint8_t> reorderRx50Side(const std::vector<std::uint8_t>& input,
                                          bool toSectorOrder, BlockOrder order) {
    constexpr std::size_t kImageBytes = std::size_t{kBlocks} * kSectorBytes;
    std::vector<std::uint8_t> in(
        input.begin(),
        input.begin() + static_cast<std::ptrdiff_t>(std::min(input.size(), kImageBytes)));
    in.resize(kImageBytes, 0);
    // Block k of a block-order image is sector-order index blockToSectorIndex(k).
    std::vector<std::uint8_t> out(kImageBytes);
    for (int lbn = 0; lbn < kBlocks; ++lbn) {
        const auto sectorBlock =
            static_cast<std::size_t>(blockToSectorIndex(order, lbn)) * kSectorBytes;
        const auto lbnBlock = static_cast<std::size_t>(lbn) * kSectorBytes;
        const std::size_t from = toSectorOrder ? lbnBlock : sectorBlock;
        const std::size_t to = toSectorOrder ? sectorBlock : lbnBlock;
        std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(from), kSectorBytes,
                    out.begin() + static_cast<std::ptrdiff_t>(to));
    }
    return out;
}

ConversionResult convertLbnToSectorOrder(const std::string& path, const std::string& basePath,
                                         BlockOrder order) {
    return convertRx50(path, basePath, true, order);
}

ConversionResult convertSectorOrderToLbn(const std::string& path, const std::string& basePath,
                                         BlockOrder order) {
    return convertRx50(path, basePath, false, order);
}

} // namespace dorvane
