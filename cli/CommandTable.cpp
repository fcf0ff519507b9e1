// Every command of dorvane-cli, one row each: its name, usage, summary, run
// function, options and help. A new command is a run function (declared in
// cli/Commands.h) and a row here.
#include "cli/Command.h"
#include "cli/Commands.h"
#include "cli/DriveOptions.h"

namespace dorvane::cli {

const std::vector<Command>& commands() {
    static const std::vector<Command> table{
        {
            .name = "batch",
            .usage = "batch NAME-PATTERN [--fast] [--force] " DORVANE_DRIVE_OPTIONS,
            .summary = "read diskette after diskette into numbered images, each reported",
            .run = runBatch,
            .options = DriveSettings | ForceOption | FastOption,
            .details =
                "NAME-PATTERN numbers the images with one %d, %02d or %03d (box1-%02d.dsk:\n"
                "box1-01.dsk, box1-02.dsk, ...). Each diskette is read as read does, with its\n"
                "map, log and dumps, and gets its report (BASE.html); then the batch waits\n"
                "until the drive is emptied and holds a diskette again, checking once a\n"
                "second. PREFIX-summary.txt (the pattern's text before the number) gets a\n"
                "line per diskette: its name, its sectors counted and the result. Ctrl+C\n"
                "while waiting ends the batch; during a read it stops that read and the batch.\n",
        },
        {
            .name = "compare",
            .usage = "compare A B [--json]",
            .summary = "list the sectors whose state or bytes differ between two reads",
            .run = runCompare,
            .options = JsonOption,
            .details = "A and B are images of reads of one diskette, each with its map and read\n"
                       "record. Lists head, track, sector, the state in each (read, CRC error,\n"
                       "missing, not reached) and whether the bytes differ; --json for scripts.\n"
                       "Exit 0 when nothing differs, 3 when something does.\n",
        },
        {
            .name = "detect",
            .usage = "detect [--adopt] [--drive A|B]",
            .summary = "tell what the diskette is and the options to read it with",
            .run = runDetect,
            .options = DriveSettings | AdoptOption,
            .details =
                "Reads the sector IDs of a few tracks on both heads at 500, 300 and 250 kbit/s\n"
                "and says what the diskette holds, then the options of read for it. With\n"
                "--adopt the rate, sectors per track, heads and tracks found become the\n"
                "profile, which the other commands start from.\n",
        },
        {
            .name = "extract",
            .usage = "extract IMAGE [NAME...] -o DIR [--damaged] [--filler HH] [--order O] "
                     "[--force]",
            .summary = "write the files of an RX50 volume (all, or those named) into DIR",
            .run = runExtract,
            .options = OutputOption | DamagedOption | FillerOption | OrderOption | ForceOption,
            .details =
                "IMAGE is read as files does. Each file goes to DIR under its name (folders\n"
                "for directories and user areas); NAME matches a listed name, with or without\n"
                "its directory or version, in any case. A file holding a block BASE.map does\n"
                "not mark good is left out (exit 3) unless --damaged is given: then those\n"
                "blocks are the filler byte (the profile's, FF unless --filler says) and\n"
                "NAME.bad lists them with their track and sector.\n",
        },
        {
            .name = "files",
            .usage = "files IMAGE [--order mscp|rainbow|physical]",
            .summary = "list the files of an RX50 volume, marking those bad sectors hit",
            .run = runFiles,
            .options = OrderOption,
            .details =
                "IMAGE is one RX50 side as a read leaves it (BASE.map beside it is used when\n"
                "there) or an LBN image (.img, never with a map). RT-11, Files-11 ODS-1, the\n"
                "Rainbow's MS-DOS and CP/M-86 are read; the block order and file system are\n"
                "found from what is on the volume unless --order names the order. Each file\n"
                "is listed with its size, date and whether it is contiguous; one holding a\n"
                "block the map does not mark good is marked DAMAGED (exit 3). Corrupt\n"
                "structures are named on stderr.\n",
        },
        {
            .name = "format",
            .usage = "format [--yes] " DORVANE_DRIVE_OPTIONS,
            .summary = "format the diskette with the chosen geometry",
            .run = runFormat,
            .options = DriveSettings | YesOption,
            .details = "Formats every track of the chosen side(s), filled with the filler "
                       "byte.\nAsks first (or needs --yes without a terminal). Refuses a layout "
                       "longer than\none turn of the diskette at the chosen rate: its last "
                       "sectors would be missing.\n",
        },
        {
            .name = "imd2raw",
            .usage = "imd2raw FILE [-o BASE] [--force]",
            .summary = "ImageDisk file to a sector dump (.raw) and a report (.txt)",
            .run = runImd2Raw,
            .options = ForceOption | OutputOption,
            .details = "BASE.raw gets every sector of every track record in file order, "
                       "BASE.txt a\nreport in the window's format (UTF-16); the same report "
                       "goes to the output\nreadably, a line per track record. A damaged file "
                       "(cut short, an unknown\nsector type, a head other than 0 or 1, a track "
                       "stored twice) is converted as far\nas it goes and named (exit 3), as is "
                       "one holding data-error or unavailable\nrecords.\n",
        },
        {
            .name = "info",
            .usage = "info IMAGE [--order mscp|rainbow|physical]",
            .summary = "tell the block order and file system of an RX50 image",
            .run = runInfo,
            .options = OrderOption,
            .details =
                "Tries each block order (mscp, rainbow, physical) with each file system\n"
                "(RT-11, Files-11 ODS-1 and ODS-2, the Rainbow's MS-DOS, CP/M-86) and names\n"
                "the reading that fits best, how sure that is (certain, likely, a guess), what\n"
                "was found, and the other readings that fit nearly as well.\n",
        },
        {
            .name = "make-demo",
            .usage = "make-demo FILE [--force]",
            .summary = "write a demo diskette (ImageDisk) and its FILE.faults script",
            .run = runMakeDemo,
            .options = ForceOption,
            .details = "Then DORVANE_VIRTUAL_DRIVE=FILE dorvane-cli read demo.dsk reads it, "
                       "with a few\nslow and bad sectors.\n",
        },
        {
            .name = "merge",
            .usage = "merge OUT IN IN... [--force]",
            .summary = "merge several reads of one diskette into OUT, sector by sector",
            .run = runMerge,
            .options = ForceOption,
            .details =
                "Each IN is an image with its map and read record. OUT (with OUT's .map and\n"
                ".rec) gets for every sector the best reading: read beats a CRC error beats\n"
                "missing. Every CRC reading is kept as a dump beside OUT; where three or more\n"
                "disagree their byte-wise majority is one more dump (BASE_majority_...), never\n"
                "marked good. Reads of another geometry or another diskette are refused.\n"
                "Exit 0 when every sector read, 3 when some did not.\n",
        },
        {
            .name = "read",
            .usage = "read IMAGE [--fast] [--imd [FILE.imd]] [--force] " DORVANE_DRIVE_OPTIONS,
            .summary = "read the diskette into IMAGE, with .map, .log and CRC dumps",
            .run = runRead,
            .options = DriveSettings | ForceOption | FastOption | ImdOption,
            .details =
                "Reads every sector of the chosen side(s), with retries, into IMAGE, and writes\n"
                "BASE.map (a digit per sector), BASE.log (every failed attempt), BASE.rec (the\n"
                "read record) and a .dat file for every attempt that ended in a CRC error\n"
                "(dorvane-cli --help tells them). IMAGE and the files beside it are never\n"
                "replaced without --force. At the end a\n"
                "summary counts the sectors and lists those that are not good with their last\n"
                "error. Ctrl+C stops the read; the files keep what was read.\n"
                "--fast reads each track side in about one revolution; its files are the same.\n"
                "--imd also writes an ImageDisk file of the read: each sector's ID, the data\n"
                "rate and mode, the data of good sectors, the last bytes read of CRC errors,\n"
                "and the sectors that never read marked unavailable.\n",
        },
        {
            .name = "report",
            .usage = "report IMAGE [-o FILE.html] [--force] " DORVANE_DRIVE_OPTIONS,
            .summary = "an HTML page of what a read left: the map, the counts, the log",
            .run = runReport,
            .options = DriveSettings | ForceOption | OutputOption,
            .details = "IMAGE and BASE.map (with BASE.log and BASE.rec, when there) as a read\n"
                       "left them become BASE.html (or FILE.html): one self-contained page with\n"
                       "the sector map in the window's colours (one row per track, a map per\n"
                       "side, each sector's place, LBN, state and attempts in its tooltip), the\n"
                       "sectors counted by state, what the record tells of the read, and the log.\n"
                       "The geometry is the record's, else the drive options' (the profile's by\n"
                       "default). Exit 3 when the map does not cover the geometry.\n",
        },
        {
            .name = "reread",
            .usage = "reread IMAGE [--fast] [--force] " DORVANE_DRIVE_OPTIONS,
            .summary = "read again the sectors of IMAGE its map does not mark good",
            .run = runReread,
            .options = DriveSettings | FastOption | ForceOption,
            .details =
                "IMAGE and BASE.map are what an earlier read left. The geometry comes from\n"
                "its read record BASE.rec; an option that contradicts it refuses the run.\n"
                "Before anything is written a few sectors the record names are read: another\n"
                "diskette is refused (--force re-reads into it anyway). An image without a\n"
                "record must be the options' size exactly; its good sectors confirm the disk.\n"
                "Every sector whose map digit is not 3 is read again with retries; one that\n"
                "now reads goes into IMAGE in place, and only then its digit into the map.\n"
                "BASE.log is appended to, and each CRC error read gets its dump beside the\n"
                "earlier ones. Stopped at any moment (Ctrl+C, a killed process, a full disk),\n"
                "IMAGE and BASE.map stay consistent: run it again to go on. Each track side\n"
                "is read in about one revolution (--fast, always on here), then per sector\n"
                "what failed. The summary and the exit status are those of read.\n",
        },
        {
            .name = "scan",
            .usage = "scan [--track N] [--adopt] " DORVANE_DRIVE_OPTIONS,
            .summary = "list a track's sector IDs at each rate; --adopt saves the layout",
            .run = runScan,
            .options = DriveSettings | TrackOption | AdoptOption,
            .details =
                "Reads the sector IDs of the track at 500, 300 and 250 kbit/s (only --rate\n"
                "when given) and lists what each rate found in a table: the number of IDs,\n"
                "the sector numbers and their size in bytes; then the layout of the first rate\n"
                "that found IDs and the options that read it. It asks nothing. With --adopt\n"
                "that rate and sectors per track are saved in the profile, which the other\n"
                "commands start from; nothing else writes it.\n",
        },
        {
            .name = "sector",
            .usage = "sector --track T --sector S [--name PREFIX] [OPTIONS]",
            .summary = "read one sector into sector_success_... (and CRC dumps)",
            .run = runSector,
            .options = DriveSettings | TrackOption | SectorOption | NameOption,
            .details =
                "Reads one sector of one side (--head 0 or 1; not both), with retries, and\n"
                "writes its bytes to PREFIX_success_HeadH_TrackT_SectorS_CRC.dat in the current\n"
                "folder, and every attempt with a CRC error to PREFIX_errorcrc_... ; PREFIX is\n"
                "\"sector\" unless --name gives one. Exits 0 when the data was read, whatever\n"
                "the number of attempts.\n",
        },
        {
            .name = "split",
            .usage = "split FILE [--sectors N] [--tracks N] [-o BASE] [--force]",
            .summary = "a double-sided image to BASE_Head0.dsk and BASE_Head1.dsk",
            .run = runSplit,
            .options = SectorsOption | TracksOption | ForceOption | OutputOption,
            .details = "FILE holds both sides track by track (head 0, then head 1). The sectors\n"
                       "per track come from the profile, like the window (--sectors overrides).\n",
        },
        {
            .name = "to-imd",
            .usage = "to-imd IMAGE [-o FILE.imd] [--force] " DORVANE_DRIVE_OPTIONS,
            .summary = "an image and its map to an ImageDisk file (BASE.imd)",
            .run = runToImd,
            .options = DriveSettings | ImdOption | ForceOption | OutputOption,
            .details =
                "IMAGE and BASE.map as a read left them become BASE.imd (or FILE.imd). With\n"
                "the read record BASE.rec, its geometry is used (a contradicting option is\n"
                "refused) and each sector whose data was read is a normal record, one whose\n"
                "last attempt was a CRC error a data-error record, any other unavailable.\n"
                "Without one, the drive options (the profile's by default) give the geometry:\n"
                "sectors marked 3 or 4 as normal records, those marked 5 whose CRC dump lies\n"
                "beside the image as data-error records, all others as unavailable. Exit 3\n"
                "when some sector is not a normal record, or the map is missing.\n",
        },
        {
            .name = "to-lbn",
            .usage = "to-lbn FILE [-o FILE.img] [--order mscp|rainbow|physical] [--force]",
            .summary = "sector-order image (.dsk) to an LBN image beside it (.img)",
            .run = runToLbn,
            .options = ForceOption | OutputOption | OrderOption,
            .details = "FILE is one RX50 side in sector order (409,600 bytes); BASE.img gets its\n"
                       "800 blocks in logical order. A double-sided image is refused: split it.\n"
                       "--order names the order of the blocks on the sectors (mscp by default).\n",
        },
        {
            .name = "to-sector-order",
            .usage = "to-sector-order FILE [-o FILE.dsk] [--order mscp|rainbow|physical] [--force]",
            .summary = "LBN image (.img) to a sector-order image beside it (.dsk)",
            .run = runToSectorOrder,
            .options = ForceOption | OutputOption | OrderOption,
            .details = "FILE holds 800 blocks in logical order (409,600 bytes); BASE.dsk "
                       "gets them in\nthe RX50's sector order (--order, mscp by default).\n",
        },
        {
            .name = "write",
            .usage = "write IMAGE [--verify] [--yes] [--force] [--order O] " DORVANE_DRIVE_OPTIONS,
            .summary = "write the sector-order image IMAGE onto the diskette",
            .run = runWrite,
            .options = DriveSettings | YesOption | ForceOption | VerifyOption | OrderOption,
            .details =
                "Replaces everything on the diskette with IMAGE, track by track. Asks first (or\n"
                "needs --yes without a terminal). IMAGE must be as large as the chosen geometry\n"
                "(409,600 bytes for one RX50 side, 819,200 for both); --force writes another\n"
                "size (what it lacks is not written). Stops at once on a write-protected\n"
                "diskette or an empty drive. With --verify every track side is read back right\n"
                "after it is written and compared; the sectors that do not come back as\n"
                "written are listed, and make the exit status 3. With --order IMAGE is one\n"
                "RX50 side in block order (an LBN image), laid out in that order first.\n",
        },
    };
    return table;
}

const Command* findCommand(const std::string& name) {
    for (const Command& command : commands())
        if (name == command.name)
            return &command;
    return nullptr;
}

} // namespace dorvane::cli
