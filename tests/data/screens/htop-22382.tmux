size 100x30 cursor 25 0 1 0

    0[|||||||||||||||||||||||||||||||||||||98.1%] Tasks: 8, 0 thr, 0 kthr; 2 running
    1[|||||||||||||||||||||||||||||||||||||98.1%] Load average: 2.41 1.59 1.13
  Mem[||||                            212M/23.5G] Uptime: 01:36:42
  Swp[                                     0K/0K]

  [Main] [I/O]
    PID USER       PRI△ NI  VIRT   RES   SHR S  CPU% MEM%   TIME+  Command
      1 root        20   0  2592  1680  1580 S   0.0  0.0  0:00.00 sh scenes/procs.sh htop -d 10
      2 root        20   0  2920  1888  1780 S   0.0  0.0  0:00.00 ├─ sleep 600
      3 root        20   0  2920  1884  1780 S   0.0  0.0  0:00.00 ├─ sleep 900
      4 root        20   0  2592  1124  1020 S   1.9  0.0  0:00.51 ├─ sh scenes/procs.sh htop -d 10
    172 root        20   0  2920  1892  1780 S   0.0  0.0  0:00.00 │  └─ sleep 0.1
      5 root        20   0  2592  1720  1616 S   0.0  0.0  0:00.00 ├─ sh -c sleep 1200
      7 root        20   0  2920  1744  1636 S   0.0  0.0  0:00.00 │  └─ sleep 1200
      6 root        20   0  5208  4116  3344 R   0.0  0.0  0:00.00 └─ htop -d 10










                                                           CPUs (1/2): first half of list
                                                           CPUs (2/2): second half of list
                                                           CPUs (1&2/4): first half in 2 shorter col
F1      F2      F3      F4      F5      F6      F7      F8      F9      F10Done
