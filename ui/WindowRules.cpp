#include "ui/WindowRules.h"

#include "files/File.h"
#include "model/Text.h"
#include "ui/Look.h"

namespace dorvane::ui {

const std::vector<ControlLayout>& controlTable() {
    using K = ControlKind;
    static const std::vector<ControlLayout> table = {
        {kReadId, K::PushButton, "Read disk...", 900, 34, 100, 20, true},
        {kWriteId, K::PushButton, "Write disk...", 900, 54, 100, 20, true},
        {kFormatId, K::PushButton, "Format", 900, 74, 100, 20, true},
        {kImageNameId, K::Edit, "", 900, 94, 100, 20, true},
        {kCancelId, K::PushButton, "Cancel", 900, 114, 100, 20, false},
        {kSettingsGroupId, K::GroupBox, "Settings:", 900, 145, 100, 230, false},
        {kHead1Id, K::Radio, "Head 1", 910, 165, 70, 20, true},
        {kHead0Id, K::Radio, "Head 0", 910, 185, 70, 20, true},
        {kBothHeadsId, K::Radio, "Both 01", 910, 205, 70, 20, true},
        {kStepPlusId, K::CheckBox, " Step+", 910, 225, 70, 20, true},
        {kDriveBId, K::Radio, "Drive B:", 910, 245, 70, 20, true},
        {kDriveAId, K::Radio, "Drive A:", 910, 265, 70, 20, true},
        {kFillerLabelId, K::Static, "Filler\nbyte: 0x", 910, 285, 55, 60, true},
        {kFillerId, K::Edit, "FF", 965, 300, 25, 20, true},
        {kCyl81Id, K::CheckBox, " Cyl 81", 910, 321, 70, 20, true},
        {0, K::Static, "Retry:", 910, 345, 50, 20, false},
        {kRetryId, K::Edit, "9", 954, 344, 39, 20, false},
        {kDataRateId, K::DropList, "", 910, 380, 80, 40, true},
        {kOpenId, K::PushButton, "Open...", 900, 408, 100, 20, true},
        {kSaveId, K::PushButton, "Save as...", 900, 428, 100, 20, true},
        {kSectorsId, K::PushButton, "10 sectors", 900, 448, 100, 20, true},
        {kLegendGroupId, K::GroupBox, "Legend:", 900, 480, 100, 168, false},
        {0, K::Static, "Empty", 925, 501, 70, 20, false},
        {0, K::Static, "Progress", 925, 521, 70, 20, false},
        {0, K::Static, "Good", 925, 541, 70, 20, false},
        {0, K::Static, "Formatted", 925, 561, 70, 20, false},
        {0, K::Static, "Not found", 925, 581, 70, 20, false},
        {0, K::Static, "Warning", 925, 601, 70, 20, false},
        {0, K::Static, "Bad", 925, 621, 70, 20, false},
    };
    return table;
}

const std::vector<int>& busyControls() {
    static const std::vector<int> order = {
        kReadId,      kWriteId,    kFormatId, kImageNameId, kHead1Id,    kHead0Id,
        kBothHeadsId, kStepPlusId, kDriveBId, kDriveAId,    kDataRateId, kFillerLabelId,
        kFillerId,    kCyl81Id,    kOpenId,   kSaveId,      kSectorsId,
    };
    return order;
}

Point windowOrigin(int workRight, int workBottom) {
    return {workRight >= kWindowWidth ? workRight / 2 - kWindowWidth / 2 : 0,
            workBottom >= kWindowHeight ? workBottom / 2 - kWindowHeight / 2 : 0};
}

FillerEntry parseFiller(const std::string& typed) {
    FillerEntry entry;
    entry.text = typed.substr(0, 2);
    unsigned value = 0;
    for (char& c : entry.text) {
        value *= 16;
        if (c >= '0' && c <= '9')
            value += static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            value += static_cast<unsigned>(c - 'A' + 10);
        else
            c = '0';
    }
    entry.value = static_cast<std::uint8_t>(value);
    if (value == 0)
        entry.text = "00";
    return entry;
}

std::string tidyFiller(const std::string& fillerText) {
    return fillerText.size() == 1 ? "0" + fillerText : fillerText;
}

std::optional<int> parseRetries(const std::string& typed) {
    const std::string text = typed.substr(0, 5);
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 20)
        return std::nullopt;
    return value;
}

const std::vector<FileFilter>& imageFilters() {
    static const std::vector<FileFilter> filters = {
        {"Diskette DZ image file (*.dsk, *.dz)", "*.dsk;*.dz"},
        {"Diskette LBN image file (*.img)", "*.img"},
        {"All files (*.*)", "*.*"},
    };
    return filters;
}

FileDialogOptions readDiskDialog(const std::string& imageName) {
    FileDialogOptions options;
    options.save = true;
    options.title = "Read the data from a real diskette and save a dump to file named:";
    options.filters = imageFilters();
    options.fileName = imageName;
    options.defaultExtension = "dsk";
    options.hideReadOnly = true;
    return options;
}

FileDialogOptions writeDiskDialog() {
    FileDialogOptions options;
    options.title = "Open a dump datafile to write them on the real diskette";
    options.filters = imageFilters();
    options.mustExist = true;
    options.hideReadOnly = true;
    return options;
}

FileDialogOptions openDialog() {
    FileDialogOptions options;
    options.filters = imageFilters();
    options.mustExist = true;
    options.hideReadOnly = true;
    return options;
}

FileDialogOptions saveAsDialog() {
    FileDialogOptions options;
    options.save = true;
    options.filters = imageFilters();
    options.defaultExtension = "dsk";
    return options;
}

FileDialogOptions sectorFileDialog(bool save, const std::string& fileName) {
    FileDialogOptions options;
    options.save = save;
    options.filters = {{"Diskette sector data file (*.dat)", "*.dat"}, {"All files (*.*)", "*.*"}};
    options.fileName = fileName;
    options.defaultExtension = "dat";
    options.mustExist = !save;
    return options;
}

FileDialogOptions splitDialog(int sectorsPerTrack) {
    FileDialogOptions options = openDialog();
    options.save = true; // the save-style dialog, yet the file must exist
    options.title = formatText("This function opens the file as a %i sectors per track double-side "
                               "image and split it to side A and side B tracks separately",
                               sectorsPerTrack);
    options.defaultExtension = "dsk";
    return options;
}

FileDialogOptions lbnConversionDialog(bool fromLbn) {
    FileDialogOptions options;
    options.filters = {fromLbn ? FileFilter{"Diskette image file (*.img)", "*.img"}
                               : FileFilter{"Diskette image file (*.dsk)", "*.dsk"},
                       {"All files (*.*)", "*.*"}};
    options.mustExist = true;
    return options;
}

FileDialogOptions imageDiskDialog() {
    FileDialogOptions options;
    options.filters = {{"Diskette image file (*.imd)", "*.imd"}, {"All files (*.*)", "*.*"}};
    options.defaultExtension = "imd";
    options.mustExist = true;
    return options;
}

const char* const kFormatQuestion = "This operation will format the RX50 media in a drive and "
                                    "destroy all data on a diskette.\n\nContinue?";
const char* const kFormatCaption = "Formatting a 5,25\" floppy confirmation";

int trackUnderPointer(int clientY, int tracks) {
    const int track = (clientY - kMapTop) / kCellPitch;
    return track < 0 ? 0 : track > tracks - 1 ? tracks - 1 : track;
}

std::string replaceQuestion(const std::string& imagePath, const std::string& basePath) {
    // An earlier reading of a failing diskette may be the better one: it is
    // never replaced without a word.
    std::string existing;
    if (fileExists(imagePath))
        existing = imagePath;
    else if (fileExists(basePath + ".map"))
        existing = basePath + ".map";
    return existing.empty() ? std::string() : existing + " already exists. Replace it?";
}

} // namespace dorvane::ui
