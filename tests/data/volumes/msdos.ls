 Volume in drive : is RAINBOW    
 Volume Serial Number is 7602-D30C
Directory for ::/

README   TXT      7650 2026-12-07  11:52 
DATA     BIN     40000 2026-12-07  11:52 
HELLO    BAS        36 2026-12-07  11:52 
EMPTY    DAT         0 2026-12-07  11:52 
SUB          <DIR>     2026-12-07  11:52 
        5 files              47 686 bytes

Directory for ::/SUB

.            <DIR>     2026-12-07  11:52 
..           <DIR>     2026-12-07  11:52 
NOTES    DOC      1440 2026-12-07  11:52 
        3 files               1 440 bytes

Total files listed:
        8 files              49 126 bytes
                            342 528 bytes free

