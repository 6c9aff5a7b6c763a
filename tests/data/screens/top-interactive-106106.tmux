size 100x30 cursor 10 0 0 0
top - 15:31:48 up  1:36,  0 user,  load average: 2.22, 1.50, 1.08
Tasks:   8 total,   1 running,   7 sleeping,   0 stopped,   0 zombie
%Cpu0  :  53.3/13.3   67[                                                                         ]
%Cpu1  :  46.2/30.8   77[                                                                         ]
MiB Mem :  2.1/24105.2  [                                                                         ]
MiB Swap:  0.0/0.0      [                                                                         ]

    PID USER      PR  NI    VIRT    RES    SHR S  %CPU  %MEM     TIME+ COMMAND
      1 root      20   0    2592   1636   1532 S   0.0   0.0   0:00.00 sh scenes/procs.sh top -d 1
      2 root      20   0    2920   1748   1644 S   0.0   0.0   0:00.00  `- sleep 600
      3 root      20   0    2920   1740   1636 S   0.0   0.0   0:00.00  `- sleep 900
      4 root      20   0    2592   1080    972 S   0.0   0.0   0:00.55  `- sh scenes/procs.sh top +
    180 root      20   0    2920   1808   1700 S   0.0   0.0   0:00.00      `- sleep 0.1
      5 root      20   0    2592   1720   1612 S   0.0   0.0   0:00.00  `- sh -c sleep 1200
      7 root      20   0    2920   1812   1700 S   0.0   0.0   0:00.00      `- sleep 1200
      8 root      20   0    9072   5280   3148 R   6.7   0.0   0:00.02  `- top -d 1














