// Interactive mode: a terminal on the input delivers every key at once, and
// caught signals are acted on between bytes, at a safe point.
#pragma once

#include <csignal>

#include "decode/processor.h"

namespace vorsk {

extern volatile std::sig_atomic_t signal_pending;

// Saves the terminal's settings and clears ICANON (and ECHO when the output
// is a terminal too); writes the notice that says how to leave.
void setup_terminal(int fd, bool output_is_tty);
// Catches the signals that end or stop the program, to act on them between
// events; with the output on a terminal, the open line is ended first.
void setup_signals(bool output_is_tty);
void catch_signal(int sig);
// Called before every read of the main loop.
void service_signal(Processor& p);

// Waits until fd has input. False when a caught signal is pending or comes
// while waiting: a signal that lands just before a read that would wait is
// acted on at once, not after the next key.
bool wait_for_input(int fd);
// Whether setup_signals has installed the handlers.
bool signals_installed();

// Gives the signal its default action now, even from its own handler: the
// process ends, or stops until it is continued.
void raise_with_default_action(int sig);

}  // namespace vorsk
