size 80x24 cursor 23 0 1 1
      1                     GNU GENERAL PUBLIC LICENSE
      2                        Version 3, 29 June 2007
      3
      4  Copyright (C) 2007 Free Software Foundation, Inc. <https://fsf.org/>
      5  Everyone is permitted to copy and distribute verbatim copies
      6  of this license document, but changing it is not allowed.
      7
      8                             Preamble
      9
     10   The GNU General Public License is a free, copyleft license for
     11 software and other kinds of works.
     12
     13   The licenses for most software and other practical works are designed
     14 to take away your freedom to share and change the works.  By contrast,
     15 the GNU General Public License is intended to guarantee your freedom to
     16 share and change all versions of a program--to make sure it remains free
     17 software for all its users.  We, the Free Software Foundation, use the
     18 GNU General Public License for most of our software; it applies also to
     19 any other work released this way by its authors.  You can apply it to
     20 your programs, too.
     21
     22   When we speak of free software, we are referring to freedom, not
     23 price.  Our General Public Licenses are designed to make sure that you
:50
