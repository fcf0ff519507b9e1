// Which FloppyDevice the window and the CLI use. When DORVANE_VIRTUAL_DRIVE
// names a diskette file, the virtual drive serves it in drive A: (drive B: is
// installed and empty); otherwise the real driver does (on the native build,
// which has none, a device that never opens, error 2).
//
// The diskette file: a name ending in ".imd" (any case) loads as ImageDisk;
// anything else as a raw sector-order image of 512-byte sectors at 300 kbit/s,
// 10 sectors per track: up to 409,600 bytes one side (head 0, 80 tracks), above
// that both sides interleaved by track (track 0 head 0, track 0 head 1, ...),
// as far as the file goes (819,200 bytes fill both); sectors the file does not
// reach have no ID.
//
// Faults: "<diskette>.faults" beside the file when it exists, then the file
// DORVANE_FAULT_SCRIPT names (see vdrive/VirtualFaults.cpp for the format).
// A script with a bad line, or larger than 1 MiB, leaves drive A: empty and
// names the file, the line and the reason in the description.
//
// Writes and formats change only the diskette in memory; every device made
// during the run is a handle on one machine (one drive open at a time): the file is never written
// back, so the demo stays the demo. A file replaced between two operations is a diskette changed in
// the drive: the next device serves the new one.
#pragma once

#include "drive/FloppyDevice.h"
#include "vdrive/VirtualDrive.h"

#include <memory>
#include <string>

namespace dorvane {

extern const char* const kVirtualDriveVariable; // "DORVANE_VIRTUAL_DRIVE"
extern const char* const kFaultScriptVariable;  // "DORVANE_FAULT_SCRIPT"
// A whole number N: the virtual drive runs in real time, N times faster than a
// real drive (unset or 0: it answers at once).
extern const char* const kVirtualSpeedVariable; // "DORVANE_VIRTUAL_SPEED"
// Revolutions per minute (100..1000) the virtual drive turns at whatever the
// diskette says (unset: the drive the diskette file asks for, a 1.2 MB drive
// turning 360 rpm for one recorded at 300 kbit/s, else a 300 rpm drive).
extern const char* const kVirtualRpmVariable; // "DORVANE_VIRTUAL_RPM"

// `virtualDescription` (may be null) receives "" for the real driver, or a
// line naming the virtual diskette (and what went wrong loading it) for the
// window title or the start-up status. A diskette that cannot be loaded
// leaves drive A: empty, so every operation meets the diskette check.
std::unique_ptr<FloppyDevice> makeFloppyDevice(std::string* virtualDescription);

// Loads a diskette file by the rules above, without faults.
bool loadVirtualDiskette(const std::string& path, VirtualDiskette& out, std::string& error);

// The value of an environment variable as UTF-8, empty when unset.
std::string environmentValue(const char* name);

} // namespace dorvane
