// Start-up: the command line, the streams, buffering, the colour mode, the
// interactive terminal, and the input buffer and line writer.
#pragma once

#include <cstdio>

#include "driver/main_loop.h"

namespace vorsk {

// Performs the whole start-up; every failure ends the process.
void setup_from_args(Session& session, int argc, char** argv);

[[noreturn]] void usage(int status);
[[noreturn]] void print_version();
std::FILE* open_argument_file(const char* path, const char* mode);

// The writer's error callback: reports the failed write and exits.
void write_error_handler(int error_number, void* context);

}  // namespace vorsk
