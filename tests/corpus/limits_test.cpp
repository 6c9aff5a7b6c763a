// Sequences far beyond the look-ahead, whose accounts are too long to write
// out as golden cases: 100,000 parameters, a parameter of 10,000 digits,
// 5,000 intermediates, an nF sequence of 2,000 intermediates. None is a
// sequence; each must give the lone introducer and then every byte after it
// as ordinary text, in order, with the invariants kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "invariants.h"
#include "run_program.h"

namespace vorsk_test {
namespace {

std::vector<std::string> rows_of(const std::string& out) {
    std::vector<std::string> rows;
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t newline = out.find('\n', start);
        if (newline == std::string::npos) break;
        rows.push_back(out.substr(start, newline - start));
        start = newline + 1;
    }
    return rows;
}

// The bytes of every text row, bars and wrap markers taken off, in order.
std::string text_of(const std::vector<std::string>& rows) {
    std::string text;
    for (const auto& row : rows) {
        std::size_t begin;
        if (row.starts_with("-|")) {
            begin = 2;
        } else if (row.starts_with("|")) {
            begin = 1;
        } else {
            continue;
        }
        const std::size_t end = row.ends_with("|-") || row.ends_with("|.") ? 2 : 1;
        text += row.substr(begin, row.size() - begin - end);
    }
    return text;
}

struct Huge {
    const char* what;
    std::string input;
    std::vector<std::string> first_rows;  // the rows the account must begin with
    std::string text;                     // what the text rows must hold between them
};

std::vector<Huge> huge_inputs() {
    std::string params;
    for (int i = 0; i < 99999; ++i) params += "1;";
    params += "1m";
    const std::string digits(10000, '7');
    const std::string intermediates(5000, ' ');
    std::string nf = "(";
    for (int i = 0; i < 2000; ++i) nf += static_cast<char>(0x20 + i % 16);
    nf += "B";
    const std::vector<std::string> csi = {": Esc [", "& CSI: CONTROL SEQUENCE INTRODUCER"};
    return {
        {"100,000 parameters", "\x1b[" + params, csi, params},
        {"a parameter of 10,000 digits", "\x1b[" + digits + "A", csi, digits + "A"},
        {"5,000 intermediates", "\x1b[1" + intermediates + "p", csi, "1" + intermediates + "p"},
        // The ESC itself is named; its bytes start again as text, the
        // intermediate SP among them.
        {"an nF sequence of 2,000 intermediates", "\x1b" + nf, {". ESC/^["}, nf},
    };
}

TEST(Limits, SequencesBeyondTheLookAheadBecomeText) {
    for (const Huge& h : huge_inputs()) {
        for (const bool pipe : {false, true}) {
            RunRequest request;
            request.program = program_under_test();
            request.input = h.input;
            request.pipe_input = pipe;
            const RunResult r = run_program(request);
            SCOPED_TRACE(std::string(h.what) + (pipe ? " from a pipe" : " from a file"));
            EXPECT_FALSE(r.timed_out);
            EXPECT_EQ("", r.err);
            EXPECT_EQ(0, r.status);
            EXPECT_EQ("", check_invariants(r.out));
            const std::vector<std::string> rows = rows_of(r.out);
            ASSERT_GE(rows.size(), h.first_rows.size());
            for (std::size_t i = 0; i < h.first_rows.size(); ++i)
                EXPECT_EQ(h.first_rows[i], rows[i]);
            EXPECT_EQ(h.text, text_of(rows));
        }
    }
}

// The same with every optional row kind off: the sequence is consumed (or
// not) the same way, and only the text remains.
TEST(Limits, SequencesBeyondTheLookAheadWithRowsOff) {
    OutputShape bare;
    bare.print_carets = bare.print_escapes = bare.print_labels = bare.print_descriptions = false;
    for (const Huge& h : huge_inputs()) {
        RunRequest request;
        request.program = program_under_test();
        request.args = {"-CDLE"};
        request.input = h.input;
        const RunResult r = run_program(request);
        SCOPED_TRACE(h.what);
        EXPECT_EQ("", r.err);
        EXPECT_EQ(0, r.status);
        EXPECT_EQ("", check_invariants(r.out, bare));
        EXPECT_EQ(h.text, text_of(rows_of(r.out)));
    }
}

}  // namespace
}  // namespace vorsk_test
