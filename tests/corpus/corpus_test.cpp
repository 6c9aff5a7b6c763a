// Every stream of the test corpus (real typescripts, the terminfo
// capabilities, binary and synthetic garbage) through the real binary: the
// run succeeds with nothing on standard error (so no sanitizer report in the
// sanitizer build), and the account keeps the invariants. Three accounts are
// compared with checked-in copies, so that a change of behaviour shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "case_file.h"
#include "invariants.h"
#include "run_program.h"

namespace vorsk_test {
namespace {

namespace fs = std::filesystem;

struct CorpusRun {
    std::string name;               // for the test's name and messages
    std::string file;               // relative to the corpus folder
    std::vector<std::string> args;  // before the input file; "@TIMING" is the file's timing file
    std::vector<std::pair<std::string, std::string>> env;
    OutputShape shape;
    std::string expected;  // the checked-in account under tests/corpus_expected, or none
};

void PrintTo(const CorpusRun& run, std::ostream* os) {
    *os << run.name;
}

std::string test_name(const ::testing::TestParamInfo<CorpusRun>& info) {
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

std::string gzip_program() {
    for (const char* path : {"/usr/bin/gzip", "/bin/gzip"}) {
        if (access(path, X_OK) == 0) return path;
    }
    return "";
}

// The runs: each file as it is; each typescript once more with its timing
// file; the synthetic files once more with colours on and once with every
// optional row kind off.
std::vector<CorpusRun> corpus_runs() {
    std::vector<CorpusRun> runs;
    const fs::path root = VORSK_CORPUS_DIR;
    std::vector<std::string> files;
    for (const char* folder : {"typescripts", "nasty", "terminfo"}) {
        if (!fs::is_directory(root / folder)) continue;
        for (const auto& entry : fs::directory_iterator(root / folder)) {
            const fs::path& p = entry.path();
            if (!entry.is_regular_file() || p.extension() == ".timing" || p.extension() == ".tsv")
                continue;
            files.push_back((fs::path(folder) / p.filename()).string());
        }
    }
    std::sort(files.begin(), files.end());
    OutputShape timed;
    timed.delays = true;
    OutputShape coloured;
    coloured.colors = true;
    OutputShape bare;
    bare.print_carets = bare.print_escapes = bare.print_labels = bare.print_descriptions = false;
    OutputShape extended;
    extended.extended = true;
    for (const auto& file : files) {
        runs.push_back(CorpusRun{file, file, {}, {}, {}, ""});
        runs.push_back(CorpusRun{file + " extended", file, {"-X"}, {}, extended, ""});
        if (file.ends_with(".typescript")) {
            runs.push_back(CorpusRun{file + " timed", file, {"-t", "@TIMING"}, {}, timed, ""});
        }
        if (file.starts_with("nasty/")) {
            runs.push_back(CorpusRun{file + " coloured",
                                     file,
                                     {"--color=always"},
                                     {{"VORSK_COLORS", "|=1;4,|>=7,.=31,:=33;1"}},
                                     coloured,
                                     ""});
            runs.push_back(CorpusRun{file + " bare", file, {"-CDLE"}, {}, bare, ""});
        }
    }
    // The three accounts kept as they are.
    for (auto& run : runs) {
        if (run.name == "nasty/limits-synthetic.bin") run.expected = "limits-synthetic.out";
        if (run.name == "typescripts/dialog-vt100.typescript") run.expected = "dialog-vt100.out";
        if (run.name == "typescripts/man-ls.typescript") run.expected = "man-ls.out";
    }
    return runs;
}

class Corpus : public ::testing::TestWithParam<CorpusRun> {};

TEST_P(Corpus, KeepsTheInvariants) {
    const CorpusRun& run = GetParam();
    const fs::path root = VORSK_CORPUS_DIR;
    fs::path input = root / run.file;
    std::string scratch;
    if (input.extension() == ".gz") {
        const std::string gzip = gzip_program();
        if (gzip.empty()) GTEST_SKIP() << "no gzip to unpack " << run.file;
        RunRequest unpack;
        unpack.program = gzip;
        unpack.args = {"-dc", input.string()};
        unpack.argv0 = "gzip";
        const RunResult unpacked = run_program(unpack);
        ASSERT_EQ(0, unpacked.status) << unpacked.err;
        scratch = make_temp_dir();
        input = fs::path(scratch) / input.stem();
        write_file(input.string(), unpacked.out);
    }

    RunRequest request;
    request.program = program_under_test();
    for (const auto& arg : run.args) {
        request.args.push_back(
            arg == "@TIMING" ? (root / run.file).replace_extension(".timing").string() : arg);
    }
    request.args.push_back(input.string());
    request.env = run.env;
    const RunResult r = run_program(request);
    remove_tree(scratch);

    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ("", r.err) << "standard error";
    EXPECT_EQ(0, r.status) << "exit status";
    EXPECT_EQ("", check_invariants(r.out, run.shape));
    if (!run.expected.empty()) {
        const std::string path = std::string(VORSK_EXPECTED_DIR) + "/" + run.expected;
        const std::string expected = read_file(path);
        ASSERT_FALSE(expected.empty()) << "no account in " << path;
        // The first differing row, rather than megabytes of both.
        if (expected != r.out) {
            const auto [e, o] =
                std::mismatch(expected.begin(), expected.end(), r.out.begin(), r.out.end());
            const std::size_t at = static_cast<std::size_t>(e - expected.begin());
            const std::size_t row_start = expected.rfind('\n', at == 0 ? 0 : at - 1);
            const std::size_t from = row_start == std::string::npos ? 0 : row_start + 1;
            ADD_FAILURE() << "the account differs from " << path << " at byte " << at << ", row "
                          << std::count(expected.begin(),
                                        expected.begin() + static_cast<std::ptrdiff_t>(from),
                                        '\n') +
                                 1
                          << "\nexpected: " << make_visible(expected.substr(from, 160))
                          << "\nactual:   " << make_visible(r.out.substr(from, 160));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Corpus, ::testing::ValuesIn(corpus_runs()), test_name);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Corpus);

// The corpus lives in the tree: without it there would be no runs above,
// and nothing would fail.
TEST(CorpusFolder, IsThere) {
    const fs::path root = VORSK_CORPUS_DIR;
    for (const char* folder : {"typescripts", "nasty", "terminfo"}) {
        EXPECT_TRUE(fs::is_directory(root / folder)) << "no corpus folder " << (root / folder);
    }
    const std::vector<CorpusRun> runs = corpus_runs();
    EXPECT_GE(runs.size(), 30u);
    EXPECT_EQ(3, std::count_if(runs.begin(), runs.end(),
                               [](const CorpusRun& r) { return !r.expected.empty(); }))
        << "runs compared with checked-in accounts";
}

}  // namespace
}  // namespace vorsk_test
