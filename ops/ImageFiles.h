// Sector-order image files (.dsk, .dz) and their map files (.map): loading them
// into the image slots, saving the slots, loading a dropped file, and splitting
// a double-sided image into one image per side.
//
// An image is headerless: for each track, each head of the head range and
// each sector number 1..sectorsPerTrack, the sector's 512 bytes. Its map lies
// beside it under the image's base path + ".map" and holds one byte per sector
// in the same order: (legend + 48) mod 256, so legends 0..8 are '0'..'8'.
#pragma once

#include "model/DiskSettings.h"
#include "model/Session.h"
#include "ops/Progress.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dorvane {

// The map file of an image: basePath + ".map". False when the name does not
// fit the 260-character buffer (then there is no map).
bool mapPathOf(const OperationRequest& request, std::string& mapPath);

// Both run synchronously on the calling thread (the window starts each on a
// worker thread of its own, with its own copy of the request). They take the
// busy flag and return at once when another operation holds it; clearing the
// flag cancels before the next sector.
// Each returns how it ended (FileFailed: the image did not open or could
// not be created) and the head range's counts.
OperationResult loadImage(OperationContext& ctx, OperationRequest request);
OperationResult saveImage(OperationContext& ctx, OperationRequest request);

// Files dropped on the window: the first name that is an existing file (not a
// folder) fills the session's file request for "Open..." and becomes the
// current image base. False when no name qualifies; the caller then starts
// nothing.
bool chooseDroppedImage(Session& session, const std::vector<std::string>& names);

// Splits the double-sided image `request.path` into basePath + "_Head0.dsk"
// and basePath + "_Head1.dsk", each tracks x bytesPerTrack long: track by
// track the input's next track goes to Head0, the one after to Head1; what
// the input lacks is zeros. Takes no busy flag and touches no shared state.
// The window ignores the result; false (with the system error code in
// `error`) when the input did not open or an output could not be created.
// It runs beside the window and any operation: it works on its own copies of
// the settings and the request.
bool splitImage(DiskSettings settings, OperationRequest request, std::uint32_t* error = nullptr);

// The split in memory: the two sides of the double-sided image `input`, in
// the same order and with the same zeros for what it lacks.
std::array<std::vector<std::uint8_t>, 2> splitSides(const DiskSettings& settings,
                                                    const std::vector<std::uint8_t>& input);

} // namespace dorvane
