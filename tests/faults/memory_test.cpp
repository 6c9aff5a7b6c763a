// Memory does not grow with the input: the peak resident size of a run over
// 64 MB of a real typescript stays within 2 MB of that over its first 1 KB.
// Measured by the kernel (the child's peak resident set from wait4), not by
// a clock.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "run_program.h"

namespace vorsk_test {
namespace {

// The peak resident set, in KiB, of vorsk reading the file into /dev/null.
[[maybe_unused]] long peak_kib(const std::string& input, int& status) {
    Spawn spawn;
    spawn.args = {input};
    Child child(spawn);
    status = child.finish(std::chrono::minutes(2));
    return child.usage().ru_maxrss;
}

TEST(Memory, PeakResidentSizeDoesNotGrowWithTheInput) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own memory would be measured";
#else
    const std::string typescript = read_file(VORSK_EXAMPLE_TYPESCRIPT);
    ASSERT_FALSE(typescript.empty());
    const std::string dir = make_temp_dir();
    const std::string small = dir + "/small";
    const std::string large = dir + "/large";
    std::string piece = typescript;
    while (piece.size() < 1024) piece += typescript;
    write_file(small, piece.substr(0, 1024));
    {
        std::ofstream out(large, std::ios::binary);
        for (std::size_t written = 0; written < 64u << 20; written += typescript.size())
            out << typescript;
    }

    int status = -1;
    const long small_peak = peak_kib(small, status);
    EXPECT_EQ(0, status);
    const long large_peak = peak_kib(large, status);
    EXPECT_EQ(0, status);
    remove_tree(dir);
    EXPECT_LE(large_peak, small_peak + 2048) << "peak resident set: " << small_peak
                                             << " KiB for 1 KB, " << large_peak << " KiB for 64 MB";
#endif
}

}  // namespace
}  // namespace vorsk_test
