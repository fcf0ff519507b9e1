0:
-rw-rw-rw-   40000 Jan 01 1970  data.bin
-rw-rw-rw-       0 Jan 01 1970  empty.dat
-rw-rw-rw-      36 Jan 01 1970  hello.bas
-rw-rw-rw-    7650 Jan 01 1970  readme.txt

3:
-rw-rw-rw-    1440 Jan 01 1970  notes.doc
