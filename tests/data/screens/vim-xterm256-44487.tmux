size 80x24 cursor 0 22 1 0
876 #endif /* POSIX */
 31 #define __need_size_t
 32 #define __need_NULL
 33 #include <stddef.h>
 34
 35 #define __need___va_list
 36 #include <stdarg.h>
 37
 38 #include <bits/types.h>
 39 #include <bits/types/__fpos_t.h>
 40 #include <bits/types/__fpos64_t.h>
 41 #include <bits/types/__FILE.h>
 42 #include <bits/types/FILE.h>
 43 #include <bits/types/struct_FILE.h>
 44
 45 #ifdef __USE_GNU
 46 # include <bits/types/cookie_io_functions_t.h>
 47 #endif
 48
 49 #if defined __USE_XOPEN || defined __USE_XOPEN2K8
 50 # ifdef __GNUC__
 51 #  ifndef _VA_LIST_DEFINED
 52 typedef __gnuc_va_list va_list;
105 substitutions on 105 lines
