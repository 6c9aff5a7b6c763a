#include "harness.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "allocation.h"
#include "decode/processor.h"
#include "driver/main_loop.h"
#include "input/input_buffer.h"
#include "input/source.h"
#include "output/colors.h"
#include "output/line_writer.h"
#include "screen/screen.h"

namespace vorsk_fuzz {
namespace {

constexpr std::size_t RING_CAPACITY = vorsk::LOOKAHEAD_LIMIT;

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "vorsk fuzz: %s: %s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

DecodeResult decode(std::string_view input, const DecodeSettings& settings) {
    const vorsk_test::OutputShape& shape = settings.shape;
    vorsk::OutputConfig config;
    if (!shape.print_descriptions) config.hidden |= vorsk::kinds_hidden_by('D');
    if (!shape.print_labels) config.hidden |= vorsk::kinds_hidden_by('L');
    if (!shape.print_escapes) config.hidden |= vorsk::kinds_hidden_by('E');
    config.colors = shape.colors;
    if (shape.colors) config.palette = vorsk::configured_palette(settings.color_string.c_str());

    std::string timing_bytes = settings.timings;
    std::FILE* timing_stream = nullptr;
    if (shape.delays) {
        timing_stream = fmemopen(timing_bytes.data(), timing_bytes.size(), "r");
        if (timing_stream == nullptr) fail("cannot open the timing file in memory", "");
    }
    // A read of at most read_size bytes crosses chunk boundaries as a pipe may.
    const vorsk::ByteSource bytes{.data = reinterpret_cast<const std::uint8_t*>(input.data()),
                                  .size = input.size(),
                                  .max_read = settings.read_size};
    vorsk::MemorySink memory;
    vorsk::Processor p{};
    static vorsk::Tally* tally = vorsk::tally_new();
    if (tally == nullptr) fail("out of memory", "");
    vorsk::TallyRow* slots = tally->slots;
    for (std::size_t i = 0; i < vorsk::TALLY_SLOTS; ++i) slots[i] = vorsk::TallyRow{};
    *tally = vorsk::Tally{};
    tally->slots = slots;
    tally->format = vorsk::SUMMARY_JSON;
    config.general_paths_only = settings.reference;
    vorsk::Screen* screen = nullptr;
    if (settings.screen_cols > 0) {
        screen = vorsk::screen_new(settings.screen_cols, settings.screen_rows);
        if (screen == nullptr) fail("out of memory", "");
    }
    const vorsk::ProcessorSettings processor{.print_carets = shape.print_carets,
                                             .extended = shape.extended,
                                             .keys = settings.keys,
                                             .tally = settings.tally ? tally : nullptr,
                                             .screen = screen,
                                             .reference = settings.reference};
    if (!vorsk::processor_init(p, vorsk::input_new(bytes, RING_CAPACITY),
                               vorsk::writer_new(vorsk::Sink{.memory = &memory}, config),
                               processor))
        fail("out of memory", "");
    vorsk::Source source = shape.delays ? vorsk::classic_timing_source(*p.input, timing_stream)
                                        : vorsk::plain_source(*p.input);
    vorsk::decode_source(p, source);
    vorsk::writer_flush(*p.writer);
    if (settings.tally) {
        tally->bytes = vorsk::input_consumed(*p.input);
        check_summary_json(*tally);
    }
    if (screen != nullptr) {
        // The screen's lines go apart: the account's invariants know none.
        vorsk::MemorySink rows;
        vorsk::LineWriter* w = vorsk::writer_new(vorsk::Sink{.memory = &rows}, {});
        if (w == nullptr) fail("out of memory", "");
        vorsk::screen_write(*screen, *w, "at the end");
        vorsk::writer_free(w);
        vorsk::memory_sink_release(rows);
        vorsk::screen_free(screen);
    }

    DecodeResult result;
    result.consumed = vorsk::input_consumed(*p.input);
    vorsk::input_free(p.input);
    vorsk::writer_free(p.writer);
    vorsk::processor_release(p);
    result.output.assign(memory.data, memory.size);
    vorsk::memory_sink_release(memory);
    if (timing_stream != nullptr) std::fclose(timing_stream);
    return result;
}

void check_summary_json(vorsk::Tally& tally) {
    vorsk::MemorySink summary;
    vorsk::LineWriter* w = vorsk::writer_new(vorsk::Sink{.memory = &summary}, {});
    if (w == nullptr) fail("out of memory", "");
    tally.format = vorsk::SUMMARY_JSON;
    vorsk::write_summary(tally, *w);
    vorsk::writer_free(w);
    const std::string json(summary.data, summary.size);
    vorsk::memory_sink_release(summary);
    if (!json.starts_with("{\"bytes\":") || !json.ends_with("]}}\n"))
        fail("a summary that is no whole JSON object", json.substr(0, 200));
    for (const char* number : {":nan", ":-nan", ":inf", ":-inf"}) {
        if (json.find(number) != std::string::npos) fail("a summary with no JSON number", json);
    }
}

void check_run(std::string_view input, const DecodeSettings& settings, const DecodeResult& result) {
    const std::string broken = vorsk_test::check_invariants(result.output, settings.shape);
    if (!broken.empty()) fail("malformed account", broken);
    if (result.consumed != input.size()) {
        fail("bytes not accounted for",
             std::to_string(result.consumed) + " of " + std::to_string(input.size()) + " consumed");
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
        const std::string_view row =
            account.substr(0, newline == std::string_view::npos ? account.size() : newline + 1);
        account.remove_prefix(row.size());
        const bool hidden = (row[0] == ':' && !shape.print_escapes) ||
                            (row[0] == '&' && !shape.print_labels) ||
                            (row[0] == '"' && !shape.print_descriptions);
        if (!hidden) kept += row;
    }
    return kept;
}

}  // namespace

void check_shapes(std::string_view input, const DecodeSettings& settings,
                  const DecodeResult& result) {
    DecodeSettings plain = settings;
    plain.shape.colors = false;
    const std::string uncoloured =
        settings.shape.colors ? decode(input, plain).output : result.output;
    if (settings.shape.colors && without_colors(result.output) != uncoloured) {
        fail("colours change more than the colour escapes",
             "\n--- without colours:\n" + uncoloured + "--- with colours, taken away:\n" +
                 without_colors(result.output));
    }
    const vorsk_test::OutputShape& shape = settings.shape;
    if (shape.print_escapes && shape.print_labels && shape.print_descriptions) return;
    DecodeSettings fullest = plain;
    fullest.shape.print_escapes = fullest.shape.print_labels = fullest.shape.print_descriptions =
        true;
    const std::string all_rows = decode(input, fullest).output;
    if (rows_shown(all_rows, shape) != uncoloured) {
        fail("switching row kinds off changes the rows that remain",
             "\n--- every row kind:\n" + all_rows + "--- with some off:\n" + uncoloured);
    }
}

void check_paths(std::string_view input, const DecodeSettings& settings) {
    DecodeSettings fast = settings;
    fast.tally = false;
    fast.shape.colors = false;  // the memo keeps uncoloured lines only
    DecodeSettings reference = fast;
    reference.reference = true;
    const std::string with_memo = decode(input, fast).output;
    const std::string general = decode(input, reference).output;
    if (with_memo != general) {
        fail("the fast paths and the general paths give different accounts",
             "\n--- fast:\n" + with_memo + "--- general:\n" + general);
    }
    // A timing file says where reads end, and typed input is read a key at
    // a time: ESC and a byte in one read are Alt and that key.
    if (settings.shape.delays || settings.keys) return;
    DecodeSettings whole = fast;
    whole.read_size = 0;
    DecodeSettings bytewise = fast;
    bytewise.read_size = 1;
    const std::string at_once = decode(input, whole).output;
    const std::string byte_by_byte = decode(input, bytewise).output;
    if (at_once != byte_by_byte) {
        fail("reads of one byte give another account than whole reads",
             "\n--- whole:\n" + at_once + "--- a byte at a time:\n" + byte_by_byte);
    }
}

std::string_view take_settings(std::string_view data, DecodeSettings& settings) {
    if (data.size() < 2) return data;
    const auto flags = static_cast<unsigned char>(data[0]);
    const auto second = static_cast<unsigned char>(data[1]);
    const std::size_t colors_length = std::min<std::size_t>(second & 0x3f, data.size() - 2);
    settings.shape.extended = (second & 0x80) != 0;
    settings.keys = settings.shape.extended && (second & 0x40) != 0;
    settings.shape.print_carets = (flags & 1) == 0;
    settings.shape.print_descriptions = (flags & 2) == 0;
    settings.shape.print_labels = (flags & 4) == 0;
    settings.shape.print_escapes = (flags & 8) == 0;
    settings.shape.colors = (flags & 16) != 0;
    static constexpr std::size_t READ_SIZES[8] = {0, 1, 2, 3, 5, 16, 100, 1000};
    settings.read_size = READ_SIZES[flags >> 5];
    // A NUL ends the colour string, as it ends an environment variable.
    const std::string_view colors = data.substr(2, colors_length);
    settings.color_string.assign(colors.substr(0, colors.find('\0')));
    return data.substr(2 + colors_length);
}

void feed_screen_with_resizes(std::string_view input, bool extended) {
    const std::size_t n = input.size();
    const auto size_at = [&](std::size_t i, int most) {
        return 1 + (n == 0 ? 0 : static_cast<unsigned char>(input[i % n]) * 7 % most);
    };
    vorsk::Screen* screen = vorsk::screen_new(size_at(0, 500), size_at(1, 200));
    if (screen == nullptr) fail("out of memory", "");
    vorsk::MemorySink memory;
    vorsk::Processor p{};
    if (!vorsk::processor_init(p, vorsk::input_new(vorsk::ByteSource{}, RING_CAPACITY),
                               vorsk::writer_new(vorsk::Sink{.memory = &memory}, {}),
                               vorsk::ProcessorSettings{.extended = extended, .screen = screen}))
        fail("out of memory", "");
    const std::size_t cuts[] = {0, n / 3, 2 * n / 3, n};
    for (std::size_t part = 0; part < 3; ++part) {
        if (part != 0)
            vorsk::screen_resize(*screen, size_at(part * 2, 500), size_at(part * 2 + 1, 200));
        const std::string_view piece = input.substr(cuts[part], cuts[part + 1] - cuts[part]);
        vorsk::input_reset(
            *p.input, vorsk::ByteSource{.data = reinterpret_cast<const std::uint8_t*>(piece.data()),
                                        .size = piece.size()});
        vorsk::Source source = vorsk::plain_source(*p.input);
        vorsk::decode_source(p, source);
        vorsk::screen_write(*screen, *p.writer, "at a resize");
    }
    vorsk::input_free(p.input);
    vorsk::writer_free(p.writer);
    vorsk::processor_release(p);
    vorsk::memory_sink_release(memory);
    vorsk::screen_free(screen);
}

int memory_file(std::string_view bytes) {
    const int fd = memfd_create("recording", 0);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        lseek(fd, 0, SEEK_SET) != 0) {
        std::abort();
    }
    return fd;
}

}  // namespace vorsk_fuzz
