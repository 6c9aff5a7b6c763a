// Runs a program as a child with given arguments, environment, working
// folder and standard input, and captures what it writes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vorsk_test {

struct RunRequest {
    std::string program;
    std::vector<std::string> args;  // after argv[0]
    std::string argv0 = "vorsk";
    std::vector<std::pair<std::string, std::string>> env;  // added to a cleaned environment
    std::string directory;  // working folder; empty: the current one
    std::string input;
    bool pipe_input = false;
    int timeout_seconds = 30;
    unsigned long address_space_limit = 0;  // bytes of address space for the child; 0: no limit
};

struct RunResult {
    std::string out;
    std::string err;
    int status = -1;  // the exit status, or 128 + the signal that ended it
    bool timed_out = false;
};

RunResult run_program(const RunRequest& request);

// The program under test: $VORSK_TEST_PROGRAM, or the built binary.
std::string program_under_test();

// A fresh folder under the temporary directory, removed by remove_tree.
std::string make_temp_dir();
void remove_tree(const std::string& path);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

}  // namespace vorsk_test
