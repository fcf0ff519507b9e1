#!/usr/bin/env bash
# Makes the Rainbow fixture volumes with independent tools, once; the results
# are kept beside this script so that the tests need neither tool:
#   cpm86.dsk        CP/M-86 volume made by cpmtools (diskdef dec_pro: 2:1
#                    interleave from track 2, which cpmtools applies itself),
#                    so the file is in the Rainbow's sector order
#   cpm86.ls         cpmls -l of it
#   cpm86/           every file as cpmcp copies it out
#   msdos.dsk        MS-DOS volume made by mtools with the Rainbow's layout
#                    (20 reserved blocks, 2 FATs of 3, 96 root entries, one
#                    block per cluster, media byte FA), its parameter block
#                    then overwritten as the Rainbow has none, and the blocks
#                    laid out in the Rainbow's sector order by this script
#   msdos.ls         mdir -/ of it
#   msdos/           every file as mcopy copies it out
# Needs: apt-get install -y mtools cpmtools python3
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The files: text over several blocks, a binary of several CP/M extents, a
# one-line file and an empty one.
python3 - <<'PY'
import random
with open("README.TXT", "w", newline="\r\n") as f:
    for i in range(1, 151):
        f.write("RAINBOW SAMPLE TEXT LINE %03d ON AN RX50 DISKETTE.\n" % i)
rng = random.Random(50)
with open("DATA.BIN", "wb") as f:
    f.write(bytes(rng.randrange(256) for _ in range(40000)))
with open("HELLO.BAS", "w", newline="\r\n") as f:
    f.write('10 PRINT "HELLO FROM RX50"\n20 END\n')
with open("NOTES.DOC", "w", newline="\r\n") as f:
    f.write("A FILE IN A SUBDIRECTORY OR ANOTHER USER AREA.\n" * 30)
open("EMPTY.DAT", "wb").close()
PY

# CP/M-86: cpmtools writes the sectors of data tracks through its skew table.
dd if=/dev/zero of=cpm86.dsk bs=512 count=800 status=none
mkfs.cpm -f dec_pro cpm86.dsk
cpmcp -f dec_pro cpm86.dsk README.TXT DATA.BIN HELLO.BAS EMPTY.DAT 0:
cpmcp -f dec_pro cpm86.dsk NOTES.DOC 3:
cpmls -f dec_pro -l cpm86.dsk > cpm86.ls
rm -rf "$here/cpm86" && mkdir -p "$here/cpm86/user3"
(cd "$here/cpm86" && cpmcp -f dec_pro "$work/cpm86.dsk" '0:*' . &&
   cpmcp -f dec_pro "$work/cpm86.dsk" '3:*' user3/)
cp cpm86.dsk cpm86.ls "$here/"

# MS-DOS: made in block order with a parameter block mtools can use.
dd if=/dev/zero of=msdos.img bs=512 count=800 status=none
export MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=1
mformat -i msdos.img -t 80 -h 1 -s 10 -S 2 -c 1 -R 20 -L 3 -r 6 -m 0xFA -v RAINBOW ::
mcopy -i msdos.img -m README.TXT DATA.BIN HELLO.BAS EMPTY.DAT ::
mmd -i msdos.img ::SUB
mcopy -i msdos.img -m NOTES.DOC ::SUB/
mdir -i msdos.img -/ :: > msdos.ls
rm -rf "$here/msdos" && mkdir -p "$here/msdos/SUB"
(cd "$here/msdos" && mcopy -i "$work/msdos.img" -n -m '::*.*' . &&
   mcopy -i "$work/msdos.img" -n -m '::SUB/*.*' SUB/)
rm -f "$here/msdos/SUB/SUB" 2>/dev/null || true
cp msdos.ls "$here/"
# The Rainbow's block 0 is Z80 code (DI first), not a parameter block; then
# blocks 0-19 stay in place and each later track's block i goes to sector
# 1,3,5,7,9,2,4,6,8,10.
python3 - "$here/msdos.dsk" <<'PY'
import sys
image = bytearray(open("msdos.img", "rb").read())
image[0:512] = bytes([0xF3]) + bytes(511)
out = bytearray(len(image))
interleave = [0, 2, 4, 6, 8, 1, 3, 5, 7, 9]
for block in range(800):
    track, i = divmod(block, 10)
    sector = i if track < 2 else interleave[i]
    at = (track * 10 + sector) * 512
    out[at:at + 512] = image[block * 512:block * 512 + 512]
open(sys.argv[1], "wb").write(out)
PY
echo "made cpm86.dsk and msdos.dsk in $here"
