size 40x12 cursor 0 28 0 1
@ine 1 abcdefghijklmnopqrtopvwxyz
li+++ne 2 abcdefghijklmnopqrstuvwxyz    

inserted
line 5 abcdefghijklmnopqrstuvwxyz

line 7 abcdefghijklmnopqrstuvwxyz
linecdefghijklmnopqrstuvwxyz       
line 9    defghijklmnopqrstuvwxyz

lqqqqwqqqqk boxed
red                 col21
