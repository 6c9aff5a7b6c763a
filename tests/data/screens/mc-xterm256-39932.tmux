size 100x30 cursor 16 72 1 1
/tmp/corpus-work/licenses/CC0-1.0   [-M--]  7 L:[  1+ 1   2/122] *(35  /7055b) 0010 0x00A     [*][X]
┌<─ /tmp/corpus-work/licenses ──────────────.[^]>┐
│.n          Name           │ Size  │Modify time │
│/..                        │UP--DIR│Dec  9 15:22│
│ Apache-2.0                │  11358│Dec 19  2004│
│ Artistic                  │   6111│Dec 16  1996│ AND DOES NOT PROVIDE
│ BSD                       │   1499│Aug 26  1999│DOES NOT CREATE AN
│ CC0-1.0                   │   7048│Apr 25  2017│ PROVIDES THIS
│@GFDL                      │      8│May  9  2025│ONS MAKES NO WARRANTIES
│ GFDL-1.2                  │  20432│Sep 30  2017│RMATION OR WORKS
│ GFDL-1.3                  │  22955│Feb 10  2022│R DAMAGES RESULTING FROM
│@GPL                       │      5│May  9  2025│ WORKS PROVIDED
│ GPL-1                     │  12632│Mar 23  2010│
│ GPL-2                     │  18092│Mar 23  2010│
│ GPL-3                     │  35149│Sep 30  2017│
│@LGPL                      │      6│May  9  2025│
│ LGPL-2                    │  25381│Feb 10  2022│d automatically confer
exclusive Copyright and Related Rights (defined below) upon the creator
and subsequent owner(s) (each and all, an "owner") of an original work of
authorship and/or a database (each, a "Work").

Certain owners wish to permanently relinquish those rights to a Work for
the purpose of contributing to a commons of creative, cultural and
scientific works ("Commons") that the public can reliably and without fear
of later claims of infringement build upon, modify, incorporate in other
works, reuse and redistribute as freely as possible in any form whatsoever
and for any purposes, including without limitation commercial purposes.
These owners may contribute to the Commons to promote the ideal of a free
culture and the further production of creative, cultural and scientific
 1Help     2Save     3Mark     4Replac   5Copy     6Move     7Search   8Delete   9PullDn  10Quit
