// The decoder loop alone, from memory to /dev/null, on real streams, plain
// text and dense control sequences: bytes per second of input.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "allocation.h"
#include "decode/processor.h"
#include "driver/main_loop.h"
#include "input/source.h"

namespace {

constexpr std::size_t INPUT_SIZE = 8 * 1024 * 1024;

std::string repeat_to_size(const std::string& unit) {
    std::string out;
    out.reserve(INPUT_SIZE + unit.size());
    while (out.size() < INPUT_SIZE) out += unit;
    out.resize(INPUT_SIZE);
    return out;
}

// The recorded typescripts of the corpus, concatenated.
std::string real_streams() {
    std::string all;
    const std::filesystem::path dir = std::filesystem::path(VORSK_CORPUS_DIR) / "typescripts";
    if (std::filesystem::is_directory(dir)) {
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.path().extension() != ".typescript") continue;
            std::ifstream file(entry.path(), std::ios::binary);
            std::ostringstream text;
            text << file.rdbuf();
            all += text.str();
        }
    }
    return repeat_to_size(all.empty() ? std::string("no corpus\n") : all);
}

void decode(benchmark::State& state, const std::string& input) {
    const int sink = open("/dev/null", O_WRONLY);
    for (auto _ : state) {
        vorsk::Session session{};
        vorsk::Processor& p = session.processor;
        vorsk::processor_init(
            p,
            vorsk::input_new(
                vorsk::ByteSource{.data = reinterpret_cast<const std::uint8_t*>(input.data()),
                                  .size = input.size()},
                vorsk::LOOKAHEAD_LIMIT),
            vorsk::writer_new(vorsk::Sink{.fd = sink}, vorsk::OutputConfig{}), {});
        session.source = vorsk::plain_source(*p.input);
        benchmark::DoNotOptimize(vorsk::run(session));
        vorsk::input_free(p.input);
        vorsk::writer_free(p.writer);
        std::free(p.memo);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    close(sink);
}

void BM_RealStreams(benchmark::State& state) {
    static const std::string input = real_streams();
    decode(state, input);
}

void BM_PlainText(benchmark::State& state) {
    static const std::string input =
        repeat_to_size("The quick brown fox jumps over the lazy dog; 0123456789 and more.\n");
    decode(state, input);
}

void BM_DenseControlSequences(benchmark::State& state) {
    static const std::string input =
        repeat_to_size("\x1b[1;31m\x1b[10;20H\x1b[K\x1b[?25l\x1b[38;5;196m\x1b[0m\x1b[2J\n");
    decode(state, input);
}

BENCHMARK(BM_RealStreams)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DenseControlSequences)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
