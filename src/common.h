// Small shared helpers of the whole program.
#pragma once

// Every printf-style function carries this, so that the compiler checks
// each format against its arguments.
#define VORSK_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
