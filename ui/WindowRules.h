// The main window's rules that need no window: the control table (ids, texts,
// kinds, positions, what an operation disables), where the window goes on the
// desktop, the entry rules of the filler and retry edits, and the texts of the
// file dialogs and questions of its commands.
#pragma once

#include "ui/ControlIds.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dorvane::ui {

inline constexpr const char* kWindowTitle = "Dorvane v.2.08";

enum class ControlKind {
    PushButton,
    Edit,
    GroupBox,
    Radio,    // manual: the window sets its state
    CheckBox, // manual too
    Static,
    DropList,
};

struct ControlLayout {
    int id; // 0 for the labels, which have none
    ControlKind kind;
    const char* text;
    int x, y, width, height;
    bool offWhileBusy; // disabled while an operation runs
};

// The child controls in the order they are created (the up-down control, the
// tab control and the status bar are made apart, in their places).
const std::vector<ControlLayout>& controlTable();

// The controls an operation disables, in the order it switches them.
const std::vector<int>& busyControls();

// The window's top-left corner for a desktop work area reaching `right`,
// `bottom`: centred where the 1024 x 740 window fits, else at 0 on that axis.
struct Point {
    int x, y;
};
Point windowOrigin(int workRight, int workBottom);

// The filler edit: what typing leaves (at most two characters read).
struct FillerEntry {
    std::uint8_t value = 0;
    std::string text; // invalid characters as "0"; "00" when the value is 0
};
FillerEntry parseFiller(const std::string& typed);
// What the edit shows after losing the focus: one character gets a "0" before it.
std::string tidyFiller(const std::string& fillerText);

// The retry edit: the count when the entry (at most five characters read) is
// all digits and at most 20; empty gives 0. Nothing for anything else.
std::optional<int> parseRetries(const std::string& typed);

// A file dialog of a command: everything it shows and allows.
struct FileFilter {
    const char* name;
    const char* pattern;
};
struct FileDialogOptions {
    bool save = false;
    std::string title; // empty: the system's own
    std::vector<FileFilter> filters;
    std::string fileName; // shown first
    std::string defaultExtension;
    bool mustExist = false;
    bool hideReadOnly = false;
};
// The image filters of Open, Save as, Read disk and Write disk.
const std::vector<FileFilter>& imageFilters();
FileDialogOptions readDiskDialog(const std::string& imageName);
FileDialogOptions writeDiskDialog();
FileDialogOptions openDialog();
FileDialogOptions saveAsDialog();
// The sector map's save and load of one sector's 512 bytes (.dat); the save
// proposes `fileName`.
FileDialogOptions sectorFileDialog(bool save, const std::string& fileName);
// The Tools menu: the side split (its title names the sectors per track), the
// LBN conversions (an .img input for the way to sector order, a .dsk input
// for the way to LBN order) and the ImageDisk conversion.
FileDialogOptions splitDialog(int sectorsPerTrack);
FileDialogOptions lbnConversionDialog(bool fromLbn);
FileDialogOptions imageDiskDialog();

// Before Read disk or Save as write an image over one that exists: the
// question naming the existing image (or, when only its map exists, the map),
// empty when neither exists and nothing is asked.
std::string replaceQuestion(const std::string& imagePath, const std::string& basePath);

extern const char* const kFormatQuestion; // "This operation will format ..."
extern const char* const kFormatCaption;  // "Formatting a 5,25" floppy confirmation"

// The map row under a client y for the Space key's scan: (y - 8) / 8 truncated,
// kept within 0..tracks - 1.
int trackUnderPointer(int clientY, int tracks);

} // namespace dorvane::ui
