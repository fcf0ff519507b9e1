// Every control, command and resource id of the window, in one place.
#pragma once

namespace dorvane::ui {

// Child controls of the main window (their ids are also their commands).
enum ControlId : int {
    kFormatId = 3,        //    "Format"
    kCancelId = 4,        //    "Cancel"
    kOpenId = 5,          //    "Open..."
    kSaveId = 6,          //    "Save as..."
    kSectorsId = 7,       //    sectors-count button
    kSettingsGroupId = 8, //    "Settings:"
    kDriveAId = 9,        //    "Drive A:"
    kDriveBId = 10,       //    "Drive B:"
    kHead0Id = 11,        //    "Head 0"
    kHead1Id = 12,        //    "Head 1"
    kBothHeadsId = 13,    //    "Both 01"
    kCyl81Id = 14,        //    " Cyl 81"
    kLegendGroupId = 15,  //    "Legend:"
    kStepPlusId = 17,     //    " Step+"
    kDataRateId = 18,     //    data-rate drop-down list
    kImageNameId = 19,    //    image-name edit
    kFillerId = 20,       //    filler-byte edit
    kRetryId = 21,        //    retry edit
    kRetryUpDownId = 22,  //    its up-down control
    kStatusBarId = 23,
    kWriteId = 30, //    "Write disk..."
    kReadId = 31,  //    "Read disk..."
    kTabId = 202,  //    tabs "head0", "head1"
    // The filler edit's two-line label has no id of its own in the table; the
    // window gives it this one so that an operation can switch it.
    kFillerLabelId = 1020,
};

// Menu and context-menu commands.
enum CommandId : int {
    kSplitCommand = 29,      // Tools: "Convert DS images to SS tracks separately"
    kReadSectorCommand = 40, // context menu
    kSaveSectorCommand = 41,
    kLoadSectorCommand = 42,
    kZeroSlotCommand = 43,
    kFillSectorCommand = 44,
    kFirstLegendCommand = 50, // 50..58: set legend 0..8
    kLastLegendCommand = 58,
    kNothingCommand = 59, // "Cancel, do nothing"
    kAutoscanCommand = 70,
    kScan250Command = 71,
    kScan300Command = 72,
    kScan500Command = 73,
    kKoi8Command = 74,
    kCp1251Command = 75,
    kAboutCommand = 206,
    kExitCommand = 207,
    kToLbnCommand = 208,
    kToSectorOrderCommand = 209,
    kSettingsCommand = 210,
    kImageDiskCommand = 216,
};

// Resources.
enum ResourceId : int {
    kLegendBitmapFirst = 129,   // 129..136: legends 0..7
    kUnknownLegendBitmap = 138, // legend 8 and any other value
    kCheckMarkBitmap = 139,
    kAboutDialog = 205,
    kProgramIcon = 212,
    kWindowNameString = 214, // "Dorvane"
    kClassNameString = 215,  // "DORVANE"
    kMainMenu = 215,
    kAccelerators = 215,
};

} // namespace dorvane::ui
