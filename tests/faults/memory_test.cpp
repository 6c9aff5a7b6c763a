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
[[maybe_unused]] long peak_kib(const std::string& input, int& status, bool extended = false) {
    Spawn spawn;
    spawn.args = {input};
    if (extended) spawn.args.insert(spawn.args.begin(), "-X");
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

// In extended mode a control string of 100 MB (a clipboard write, a sixel
// image) is echoed and counted as it is read, never held.
TEST(Memory, AHugeControlStringTakesNoMoreThanAShortOne) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own memory would be measured";
#else
    const std::string dir = make_temp_dir();
    struct Huge {
        const char* name;
        std::string head, unit, tail;
    };
    const Huge strings[] = {
        {"clipboard", "\x1b]52;c;", "QUJD", "\x07"},
        {"sixel", "\x1bP0;1;0q\"1;1;800;600#0;2;0;0;0", "~?", "\x1b\\"},
    };
    for (const Huge& h : strings) {
        const std::string short_file = dir + "/short";
        const std::string huge_file = dir + "/huge";
        write_file(short_file, h.head + h.unit + h.tail);
        {
            std::ofstream out(huge_file, std::ios::binary);
            out << h.head;
            const std::string block = [&] {
                std::string b;
                while (b.size() < 65536) b += h.unit;
                return b;
            }();
            for (std::size_t written = 0; written < 100u << 20; written += block.size())
                out << block;
            out << h.tail;
        }
        int status = -1;
        const long short_peak = peak_kib(short_file, status, true);
        EXPECT_EQ(0, status);
        const long huge_peak = peak_kib(huge_file, status, true);
        EXPECT_EQ(0, status);
        EXPECT_LE(huge_peak, short_peak + 2048)
            << h.name << ": peak resident set " << short_peak << " KiB for a short string, "
            << huge_peak << " KiB for 100 MB";
    }
    remove_tree(dir);
#endif
}

// The summary's table is bounded: 64 MB of distinct mode numbers, which
// fill it, take no more memory than a few.
TEST(Memory, TheSummaryOfDistinctModesTakesNoMoreThanThatOfAFew) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own memory would be measured";
#else
    const std::string dir = make_temp_dir();
    const std::string few = dir + "/few";
    const std::string many = dir + "/many";
    write_file(few, "\x1b[?1h\x1b[?2h");
    {
        std::ofstream out(many, std::ios::binary);
        std::string block;
        for (std::uint32_t n = 0, written = 0; written < 64u << 20; ++n) {
            block += "\x1b[?" + std::to_string(n) + "h";
            if (block.size() < 65536) continue;
            out << block;
            written += static_cast<std::uint32_t>(block.size());
            block.clear();
        }
    }
    auto peak = [](const std::string& input, int& status) {
        Spawn spawn;
        spawn.args = {"-X", "--summary=json", input};
        Child child(spawn);
        status = child.finish(std::chrono::minutes(2));
        return child.usage().ru_maxrss;
    };
    int status = -1;
    const long few_peak = peak(few, status);
    EXPECT_EQ(0, status);
    const long many_peak = peak(many, status);
    EXPECT_EQ(0, status);
    remove_tree(dir);
    EXPECT_LE(many_peak, few_peak + 2048)
        << "peak resident set: " << few_peak << " KiB for two modes, " << many_peak
        << " KiB for 64 MB of distinct ones";
#endif
}

}  // namespace
}  // namespace vorsk_test
