// Runs every golden case of tests/golden through the real binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "case_file.h"
#include "run_program.h"

namespace vorsk_test {

// A failing case names itself as file:line: name.
void PrintTo(const GoldenCase& c, std::ostream* os) {
    *os << c.file << ":" << c.line << ": " << c.name;
}

namespace {

std::vector<GoldenCase> load_all_cases() {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(VORSK_CASE_DIR)) {
        if (entry.path().extension() == ".case") paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    const char* filter = std::getenv("VORSK_CASE_FILTER");
    std::vector<GoldenCase> cases;
    for (const auto& path : paths) {
        for (auto& c : read_case_file(path)) {
            if (filter != nullptr && (c.file + ":" + c.name).find(filter) == std::string::npos)
                continue;
            cases.push_back(std::move(c));
        }
    }
    return cases;
}

class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, Output) {
    const GoldenCase& c = GetParam();
    ASSERT_TRUE(c.parse_error.empty()) << c.file << ":" << c.line << ": " << c.parse_error;

    const std::string dir = make_temp_dir();
    // A name with a "/" makes its folders first (the folder of a sudo log).
    const auto make_folders = [&](const std::string& name) {
        std::filesystem::create_directories(std::filesystem::path(dir + "/" + name).parent_path());
    };
    for (const auto& [name, content] : c.files) {
        make_folders(name);
        write_file(dir + "/" + name, content);
    }
    for (const auto& [name, path] : c.data_files) {
        make_folders(name);
        write_file(dir + "/" + name, read_file(std::string(VORSK_DATA_DIR) + "/" + path));
    }

    RunRequest request;
    request.program = program_under_test();
    request.args = c.args;
    request.env = c.env;
    request.directory = dir;
    request.input = c.input;
    request.pipe_input = c.pipe_input;
    const RunResult r = run_program(request);

    EXPECT_FALSE(r.timed_out);
    // A fragment: the output from the first occurrence of its start.
    const std::size_t from = c.stdout_from.empty() ? 0 : r.out.find(c.stdout_from);
    EXPECT_NE(std::string::npos, from) << "standard output lacks " << make_visible(c.stdout_from);
    const std::string out = from == std::string::npos ? r.out : r.out.substr(from);
    EXPECT_EQ(make_visible(c.expected_stdout), make_visible(out)) << "standard output";
    if (c.stderr_is_prefix) {
        EXPECT_EQ(make_visible(c.expected_stderr),
                  make_visible(r.err.substr(0, c.expected_stderr.size())))
            << "standard error (start)";
    } else {
        EXPECT_EQ(make_visible(c.expected_stderr), make_visible(r.err)) << "standard error";
    }
    EXPECT_EQ(c.status, r.status) << "exit status";
    for (const auto& [name, content] : c.outfiles) {
        EXPECT_EQ(make_visible(content), make_visible(read_file(dir + "/" + name)))
            << "file " << name;
    }
    remove_tree(dir);
}

std::string case_test_name(const ::testing::TestParamInfo<GoldenCase>& info) {
    std::string name = info.param.file.substr(0, info.param.file.find('.')) + "_" +
                       std::to_string(info.param.line);
    std::replace_if(
        name.begin(), name.end(),
        [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(load_all_cases()), case_test_name);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Golden);

}  // namespace
}  // namespace vorsk_test
