#include "files/SystemMessage.h"

namespace dorvane {

std::string systemErrorText(std::uint32_t code) {
    return systemMessageText(code) + " (system error " + std::to_string(code) + ")";
}

const char* builtinMessageText(std::uint32_t code) {
    struct Entry {
        std::uint32_t code;
        const char* text;
    };
    // The texts Windows gives for these codes in English.
    static const Entry table[] = {
        {0, "The operation completed successfully."},
        {1, "Incorrect function."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {19, "The media is write protected."},
        {21, "The device is not ready."},
        {23, "Data error (cyclic redundancy check)."},
        {25, "The drive cannot locate a specific area or track on the disk."},
        {27, "The drive cannot find the sector requested."},
        {31, "A device attached to the system is not functioning."},
        {32, "The process cannot access the file because it is being used by another process."},
        {80, "The file exists."},
        {87, "The parameter is incorrect."},
        {110, "The system cannot open the device or file specified."},
        {112, "There is not enough space on the disk."},
        {121, "The semaphore timeout period has expired."},
        {122, "The data area passed to a system call is too small."},
        {206, "The filename or extension is too long."},
        {995, "The I/O operation has been aborted because of either a thread exit or an "
              "application request."},
        {1112, "No media in drive."},
        {1117, "The request could not be performed because of an I/O device error."},
        {1122, "No ID address mark was found on the floppy disk."},
        {1123, "Mismatch between the floppy disk sector ID field and the floppy disk controller "
               "track address."},
        {1124, "The floppy disk controller reported an error that is not recognized by the "
               "floppy disk driver."},
        {1125, "The floppy disk controller returned inconsistent results in its registers."},
    };
    for (const Entry& entry : table)
        if (entry.code == code)
            return entry.text;
    return nullptr;
}

} // namespace dorvane
