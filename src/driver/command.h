// A program run under a pseudo-terminal (vorsk -c COMMAND): the shell runs
// the command on a new terminal of the user's terminal's size; what it
// writes, what the user types and what happens to the session (a resize,
// the end) are the records of a live reader.
//
// What the user types on input_fd goes to the program as it comes, and a
// terminal there is in raw mode until the run ends, however it ends: so an
// interrupt character typed reaches the program as a byte, and the
// program's terminal turns it into its signal.
#pragma once

#include "driver/log.h"
#include "input/recording.h"

namespace vorsk {

struct CommandSetup {
    const char* command = nullptr;  // run as $SHELL -c COMMAND (/bin/sh without SHELL)
    const char* program_name = "vorsk";
    int input_fd = 0;  // what the user types
    // Where the program's output is copied unchanged as it is read (the
    // user's terminal, while the account goes elsewhere), or -1.
    int copy_fd = -1;
    bool show_input = false;  // typed bytes are records too (otherwise only passed on)
    bool timed = false;       // a pause before each read's bytes: the real time since the last
    bool raw = true;          // a terminal on input_fd is put into raw mode
    bool flush_each_read = false;
    // Before every wait that may block, and after each read when
    // flush_each_read: the account so far goes out.
    void (*flush)(void* arg) = nullptr;
    void* flush_arg = nullptr;
    // With --log: the queue of the log, written out while vorsk waits.
    LogQueue* log = nullptr;
};

struct CommandRun;

// Opens the pseudo-terminal, starts the program on it and takes the user's
// terminal. Says why on standard error and yields nullptr when it cannot.
// One run per process: it owns the handlers of SIGCHLD, SIGWINCH and the
// signals that end vorsk (SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE).
CommandRun* command_start(const CommandSetup& setup);

// The records: the metadata "Command", "Terminal size" and "Terminal type"
// first; then each read of the program's output (and of the typed bytes,
// with show_input) with its pause when timed, and "Window size" "COLSxROWS"
// after a resize of the user's terminal; once the program has ended and
// all it wrote is read, "Exit status" ("3", or "killed by SIGTERM") and the
// end. A signal that ends vorsk ends the records at once. Its finish is
// command_finish.
RecordReader command_reader(CommandRun& run);

// After the records: gives the user's terminal its settings back and
// yields vorsk's exit status, the program's (128 + the signal's number when
// a signal ended it). When a signal ended vorsk's run, vorsk dies of it here.
int command_finish(CommandRun& run);

// The program keeps its run until it exits; tests release theirs.
void command_free(CommandRun* run);

}  // namespace vorsk
