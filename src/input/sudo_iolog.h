// sudo's I/O logs (log_input, log_output): a folder with a timing file of
// events, one a line, "EVENT DELAY BYTES" (0 standard input, 1 standard
// output, 2 standard error, 3 terminal input, 4 terminal output), "5 DELAY
// ROWS COLS" (a window change) and "6 DELAY SIGNAL" (a suspend or resume),
// each delay since the event before; the streams of those bytes in files of
// their own (stdin, stdout, stderr, ttyin, ttyout), gzip-compressed where
// sudo compresses them, and a "log" file of facts: the time, the users and
// the terminal on its first line, the working directory, the command.
#pragma once

#include "input/recording.h"

namespace vorsk {

// Whether path is a folder that holds an I/O log's timing file.
bool is_iolog_folder(const char* path);

struct SudoLog;

// A reader of the I/O log in the folder; nullptr, said on standard error,
// when its timing file cannot be opened, or memory is exhausted.
SudoLog* sudo_log_new(const char* folder, const char* program_name);
RecordReader sudo_log_reader(SudoLog& log);
// The program keeps its reader until it exits; tests and the fuzzer free it.
void sudo_log_free(SudoLog* log);

}  // namespace vorsk
