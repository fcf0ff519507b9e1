// The file-to-file conversions of the Tools menu: RX50 sector order <-> LBN
// order, and ImageDisk to a raw sector dump with a text report. Each runs to
// its end on the calling thread, touches neither the slots nor the settings,
// and returns the texts the window shows, so that every front end shows the
// same result.
#pragma once

#include "model/BlockOrder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

enum class ResultIcon { None, Information, Exclamation };

struct ConversionResult {
    bool success = false;
    std::string text;    // message box text, or status line text (ImageDisk)
    std::string caption; // message box caption; empty for a status line text
    ResultIcon icon = ResultIcon::None;
};

// The question each LBN conversion asks first (caption "Short converting
// instruction", OK and Cancel); anything but OK ends the command.
extern const char* const kConvertInstructionCaption;
extern const char* const kToSectorOrderInstruction; // command 208
extern const char* const kToLbnInstruction;         // command 209

// Command 208: an LBN image (.img) to a sector-order image, basePath + ".dsk",
// laid out in `order` (the window always uses the MSCP order).
ConversionResult convertLbnToSectorOrder(const std::string& path, const std::string& basePath,
                                         BlockOrder order = BlockOrder::Mscp);
// Command 209: a sector-order image (.dsk) in `order` to an LBN image,
// basePath + ".img".
ConversionResult convertSectorOrderToLbn(const std::string& path, const std::string& basePath,
                                         BlockOrder order = BlockOrder::Mscp);

// The reordering of both: one RX50 side in the other order. Of `input` the
// first 800 blocks count; what it lacks of them is zeros.
std::vector<std::uint8_t> reorderRx50Side(const std::vector<std::uint8_t>& input,
                                          bool toSectorOrder, BlockOrder order = BlockOrder::Mscp);

// Command 216: an ImageDisk file to basePath + ".raw" (every sector of every
// track record, in file order) and basePath + ".txt" (UTF-16LE report).
ConversionResult convertImageDisk(const std::string& path, const std::string& basePath);

} // namespace dorvane
