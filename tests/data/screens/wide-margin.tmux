size 20x8 cursor 7 0 0 1
xxxxxxxxxxxxxxxxxxx
漢字
yyyyyyyyyyyyyyyyyy漢
z
wwwwwwwwwwwwwwwwwww
é ä 漢́|
😀 smile

