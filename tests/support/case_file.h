// Golden cases: a readable text format of arguments, input bytes and the
// exact expected output, parsed into records.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vorsk_test {

using NamedText = std::pair<std::string, std::string>;

struct GoldenCase {
    std::string file;  // base name of the case file
    int line = 0;      // line of the "===" header
    std::string name;
    std::string parse_error;  // not empty: the case could not be read
    std::vector<std::string> args;
    std::vector<NamedText> env;
    std::string input;
    bool pipe_input = false;
    std::vector<NamedText> files;       // created before the run
    std::vector<NamedText> data_files;  // copied from tests/data before the run: name, path
    std::vector<NamedText> outfiles;    // checked after the run
    int status = 0;
    std::string expected_stdout;
    std::string stdout_from;  // not empty: only the output from its first occurrence is compared
    std::string expected_stderr;
    bool stderr_is_prefix = false;
};

// Reads every case of one file; a malformed case carries a parse_error.
std::vector<GoldenCase> read_case_file(const std::string& path);

// Decodes a quoted string with C-style escapes and an optional " xN"
// repetition; returns false with a message on bad syntax.
bool decode_quoted(const std::string& text, std::string& out, std::string& error);

// Shows control bytes, so that a difference in them is visible.
std::string make_visible(const std::string& bytes);

}  // namespace vorsk_test
