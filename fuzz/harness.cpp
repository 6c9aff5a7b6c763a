#include "harness.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "decode/processor.h"
#include "driver/options.h"
#include "driver/timing.h"
#include "input/input_buffer.h"
#include "output/colors.h"
#include "output/line_writer.h"

namespace vorsk_fuzz {
namespace {

constexpr std::size_t RING_CAPACITY = 1024;

void reset_colors() {
    for (vorsk::ColorSpec* slot :
         {&vorsk::text_color, &vorsk::text_decor_color, &vorsk::control_color, &vorsk::escape_color,
          &vorsk::label_color, &vorsk::description_color, &vorsk::delay_color}) {
        *slot = vorsk::ColorSpec{};
    }
}

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "vorsk fuzz: %s: %s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

// One run; `interrupted` tells that a signal of the fuzzer's own (its timer)
// cut a read from the socket short, so that the run saw only part of the
// input and must be made again.
static DecodeResult decode_once(std::string_view input, const DecodeSettings& settings, bool& interrupted) {
    const vorsk_test::OutputShape& shape = settings.shape;
    vorsk::options = vorsk::Options{};
    vorsk::options.print_carets = shape.print_carets;
    vorsk::options.print_descriptions = shape.print_descriptions;
    vorsk::options.print_labels = shape.print_labels;
    vorsk::options.print_escapes = shape.print_escapes;
    vorsk::options.interactive = 0;
    vorsk::options.color_mode = shape.colors ? vorsk::COLOR_ALWAYS : vorsk::COLOR_NONE;
    reset_colors();
    if (shape.colors) {
        vorsk::parse_color_spec(vorsk::DEFAULT_COLORS);
        vorsk::parse_color_spec(settings.color_spec.c_str());
    }

    std::string in_bytes(input);
    std::FILE* in_stream = nullptr;
    std::thread feeder;
    if (settings.read_size == 0) {
        in_stream = fmemopen(in_bytes.data(), in_bytes.size(), "r");
    } else {
        // A socket of packets keeps each write apart: every read gives one.
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends) != 0) fail("cannot make a socket pair", "");
        feeder = std::thread([&in_bytes, ends, size = settings.read_size] {
            sigset_t all;
            sigfillset(&all);
            pthread_sigmask(SIG_BLOCK, &all, nullptr);
            for (std::size_t at = 0; at < in_bytes.size(); at += size) {
                const std::size_t n = std::min(size, in_bytes.size() - at);
                if (write(ends[1], in_bytes.data() + at, n) != static_cast<ssize_t>(n)) break;
            }
            close(ends[1]);
        });
        in_stream = fdopen(ends[0], "r");
    }
    std::string timing_bytes = settings.timings;
    std::FILE* timing_stream = nullptr;
    if (shape.delays) {
        timing_stream = fmemopen(timing_bytes.data(), timing_bytes.size(), "r");
        vorsk::options.timings = timing_stream;
    }
    char* out_bytes = nullptr;
    std::size_t out_size = 0;
    std::FILE* out_stream = open_memstream(&out_bytes, &out_size);
    if (in_stream == nullptr || out_stream == nullptr || (shape.delays && timing_stream == nullptr)) {
        fail("cannot open the in-memory streams", "");
    }

    vorsk::Processor p{};
    p.input = vorsk::input_new(in_stream, RING_CAPACITY);
    p.writer = vorsk::writer_new(out_stream);
    if (p.input == nullptr || p.writer == nullptr) fail("out of memory", "");
    vorsk::InputBuffer& in = *p.input;

    // The bytes counted before each reset of the count, so that the whole
    // input can be accounted for at the end.
    std::uint64_t counted = 0;
    if (vorsk::options.timings != nullptr) {
        for (;;) {
            const int c = vorsk::input_get(in);
            if (c == EOF) break;
            vorsk::process_byte(p, c);
            if (c == '\n') break;
        }
        counted += vorsk::input_consumed(in);
        vorsk::input_reset_consumed(in);
    }
    for (;;) {
        if (vorsk::options.timings != nullptr && p.timing_budget <= vorsk::input_consumed(in)) {
            counted += vorsk::input_consumed(in);
            vorsk::timing_step(p);
        }
        const int c = vorsk::input_get(in);
        if (c == EOF) break;
        vorsk::process_byte(p, c);
        if (p.line_state == vorsk::LINE_TEXT && vorsk::is_printable(c)) {
            // A run of text in one piece, never past the next timing step.
            std::size_t limit = static_cast<std::size_t>(-1);
            if (vorsk::options.timings != nullptr) {
                const std::uint64_t consumed = vorsk::input_consumed(in);
                limit = p.timing_budget > consumed ? p.timing_budget - consumed : 0;
            }
            vorsk::process_text_run(p, limit);
        }
    }
    vorsk::finish_state(p);
    vorsk::writer_flush(*p.writer);

    DecodeResult result;
    result.consumed = counted + vorsk::input_consumed(in);
    interrupted = vorsk::input_error(in) == EINTR;
    vorsk::input_free(p.input);
    vorsk::writer_free(p.writer);
    std::fclose(out_stream);
    result.output.assign(out_bytes, out_size);
    std::free(out_bytes);
    std::fclose(in_stream);
    if (feeder.joinable()) feeder.join();
    if (timing_stream != nullptr) std::fclose(timing_stream);
    vorsk::options = vorsk::Options{};
    reset_colors();
    return result;
}

DecodeResult decode(std::string_view input, const DecodeSettings& settings) {
    for (;;) {
        bool interrupted = false;
        DecodeResult result = decode_once(input, settings, interrupted);
        if (!interrupted) return result;
    }
}

void check_run(std::string_view input, const DecodeSettings& settings, const DecodeResult& result) {
    const std::string broken = vorsk_test::check_invariants(result.output, settings.shape);
    if (!broken.empty()) fail("malformed account", broken);
    if (result.consumed != input.size()) {
        fail("bytes not accounted for", std::to_string(result.consumed) + " of " +
                                            std::to_string(input.size()) + " consumed");
    }
}

namespace {

// The account without its colour escapes, ESC "[" parameter bytes "m".
std::string without_colors(std::string_view account) {
    std::string plain;
    for (std::size_t i = 0; i < account.size(); ++i) {
        if (account[i] == '\x1b' && i + 1 < account.size() && account[i + 1] == '[') {
            std::size_t j = i + 2;
            while (j < account.size() && account[j] >= 0x30 && account[j] <= 0x3f) ++j;
            if (j < account.size() && account[j] == 'm') {
                i = j;
                continue;
            }
        }
        plain += account[i];
    }
    return plain;
}

// The rows of the account whose kinds the shape shows.
std::string rows_shown(std::string_view account, const vorsk_test::OutputShape& shape) {
    std::string kept;
    while (!account.empty()) {
        const std::size_t newline = account.find('\n');
        const std::string_view row = account.substr(0, newline == std::string_view::npos ? account.size() : newline + 1);
        account.remove_prefix(row.size());
        const bool hidden = (row[0] == ':' && !shape.print_escapes) || (row[0] == '&' && !shape.print_labels) ||
                            (row[0] == '"' && !shape.print_descriptions);
        if (!hidden) kept += row;
    }
    return kept;
}

}  // namespace

void check_shapes(std::string_view input, const DecodeSettings& settings, const DecodeResult& result) {
    DecodeSettings plain = settings;
    plain.shape.colors = false;
    const std::string uncoloured = settings.shape.colors ? decode(input, plain).output : result.output;
    if (settings.shape.colors && without_colors(result.output) != uncoloured) {
        fail("colours change more than the colour escapes",
             "\n--- without colours:\n" + uncoloured + "--- with colours, taken away:\n" +
                 without_colors(result.output));
    }
    const vorsk_test::OutputShape& shape = settings.shape;
    if (shape.print_escapes && shape.print_labels && shape.print_descriptions) return;
    DecodeSettings fullest = plain;
    fullest.shape.print_escapes = fullest.shape.print_labels = fullest.shape.print_descriptions = true;
    const std::string all_rows = decode(input, fullest).output;
    if (rows_shown(all_rows, shape) != uncoloured) {
        fail("switching row kinds off changes the rows that remain",
             "\n--- every row kind:\n" + all_rows + "--- with some off:\n" + uncoloured);
    }
}

std::string_view take_settings(std::string_view data, DecodeSettings& settings) {
    if (data.size() < 2) return data;
    const auto flags = static_cast<unsigned char>(data[0]);
    const std::size_t colors_length = std::min<std::size_t>(static_cast<unsigned char>(data[1]), data.size() - 2);
    settings.shape.print_carets = (flags & 1) == 0;
    settings.shape.print_descriptions = (flags & 2) == 0;
    settings.shape.print_labels = (flags & 4) == 0;
    settings.shape.print_escapes = (flags & 8) == 0;
    settings.shape.colors = (flags & 16) != 0;
    static constexpr std::size_t READ_SIZES[8] = {0, 1, 2, 3, 5, 16, 100, 1000};
    settings.read_size = READ_SIZES[flags >> 5];
    // A NUL ends the colour string, as it ends an environment variable.
    const std::string_view colors = data.substr(2, colors_length);
    settings.color_spec.assign(colors.substr(0, colors.find('\0')));
    return data.substr(2 + colors_length);
}

}  // namespace vorsk_fuzz
