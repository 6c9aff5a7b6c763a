size 80x24 cursor 11 56 0 1
 Terminal corpus
 qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqq
                    lqqqqqqqqqqqqqqCalendarqqqqqqqqqqqqqqqqk
                    x Pick a day:                          x
                    x                                      x
                    x                                      x
                    x                                      x
                    x                                      x
                    x                                      x
                    x  lqqqqq^(-)qqqqqqqqqqqqqqqqqqqqqqqk  x
                    x  x    Sun Mon Tue Wed Thu Fri Sat x  x
                    x  x 49           1   2   3   4   5












