// The run function of every command, by the file that holds it. The table in
// cli/CommandTable.cpp names them with their usage and help.
#pragma once

#include "cli/CliEnvironment.h"
#include "cli/Command.h"

namespace dorvane::cli {

// cli/DiskCommands.cpp: the diskette commands.
int runRead(const CommandCall& call);
int runWrite(const CommandCall& call);
int runFormat(const CommandCall& call);
int runScan(const CommandCall& call);
int runSector(const CommandCall& call);

// cli/RescueCommands.cpp: what a read left, read again; what a diskette is.
int runReread(const CommandCall& call);
int runDetect(const CommandCall& call);

// cli/FileCommands.cpp: the file conversions.
int runToLbn(const CommandCall& call);
int runToSectorOrder(const CommandCall& call);
int runImd2Raw(const CommandCall& call);
int runSplit(const CommandCall& call);
int runToImd(const CommandCall& call);

// cli/VolumeCommands.cpp: the files on an RX50 volume.
int runInfo(const CommandCall& call);
int runFiles(const CommandCall& call);
int runExtract(const CommandCall& call);
// cli/MergeCommands.cpp: several reads of one diskette merged or compared.
int runMerge(const CommandCall& call);
int runCompare(const CommandCall& call);

// cli/DemoCommand.cpp: the demo diskette of the virtual drive.
int runMakeDemo(const CommandCall& call);

} // namespace dorvane::cli
