// The readers of recordings over arbitrary files: an asciinema cast, or an
// advanced timing file with its log, decoded both ways. Whatever the file
// holds, the run ends, within memory, without a fault.
//
// The first byte chooses: bit 0 a cast (else an advanced timing file),
// bit 1 extended mode. A timing file ends at the first NUL byte; its log
// follows.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "allocation.h"
#include "decode/processor.h"
#include "decode/tally.h"
#include "driver/main_loop.h"
#include "harness.h"
#include "input/advanced_timing.h"
#include "input/cast.h"
#include "input/recording.h"
#include "input/ttyrec.h"
#include "output/line_writer.h"
#include "text/safe_text.h"

namespace {

void setup(vorsk::Processor& p, vorsk::InputBuffer* input, vorsk::LineWriter* w, bool extended,
           bool keys) {
    // The two directions share the queries, as in the program.
    static vorsk::Queries queries;
    queries = {};
    if (!vorsk::processor_init(p, input, w,
                               {.extended = extended, .keys = keys, .queries = &queries}))
        std::abort();
}

void release(vorsk::Processor& p) {
    vorsk::processor_release(p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool cast = (data[0] & 1) != 0;
    const bool ttyrec = (data[0] & 4) != 0;
    const bool extended = (data[0] & 2) != 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    vorsk::RecordReader reader;
    vorsk::Cast* c = nullptr;
    vorsk::AdvancedTiming* t = nullptr;
    std::FILE* timings = nullptr;
    int fd = -1;
    vorsk::Ttyrec* tr = nullptr;
    if (ttyrec) {
        // A ttyrec recording, whatever its headers say.
        fd = vorsk_fuzz::memory_file(rest);
        tr = vorsk::ttyrec_new(fd, "fuzz", "vorsk", nullptr, 0);
        if (tr == nullptr) std::abort();
        reader = vorsk::ttyrec_reader(*tr);
    } else if (cast) {
        fd = vorsk_fuzz::memory_file(rest);
        static std::uint8_t first[vorsk::CAST_HEADER_LIMIT];
        const ssize_t n = read(fd, first, sizeof first);
        if (n < 0) std::abort();
        const std::size_t len = static_cast<std::size_t>(n);
        if (vorsk::cast_version(first, len, "fuzz", "vorsk", false) <= 0) {
            close(fd);
            return 0;
        }
        c = vorsk::cast_new(fd, "fuzz", "vorsk", first, len, nullptr, nullptr, vorsk::safe_text);
        if (c == nullptr) std::abort();
        reader = vorsk::cast_reader(*c);
    } else {
        const std::size_t split = std::min(rest.find('\0'), rest.size());
        static char timing_text[4096];
        const std::size_t timing_size = std::min(split, sizeof timing_text);
        std::copy(rest.begin(), rest.begin() + static_cast<long>(timing_size), timing_text);
        timings = fmemopen(timing_text, timing_size == 0 ? 1 : timing_size, "r");
        fd = vorsk_fuzz::memory_file(rest.substr(std::min(split + 1, rest.size())));
        t = vorsk::advanced_timing_new(timings, fd, -1, nullptr, nullptr, {});
        if (t == nullptr) std::abort();
        reader = vorsk::advanced_timing_reader(*t);
    }

    vorsk::MemorySink memory;
    vorsk::LineWriter* w = vorsk::writer_new(vorsk::Sink{.memory = &memory}, vorsk::OutputConfig{});
    vorsk::Session session;
    session.reader = reader;
    if (w == nullptr || !vorsk::duplex_source(session.source, reader)) std::abort();
    setup(session.processor, vorsk::duplex_input(session.source, vorsk::TO_TERMINAL), w, extended,
          false);
    setup(session.input_processor, vorsk::duplex_input(session.source, vorsk::FROM_TERMINAL), w,
          extended, true);
    session.processors[vorsk::TO_TERMINAL] = &session.processor;
    session.processors[vorsk::FROM_TERMINAL] = &session.input_processor;
    // Both directions are tallied, as for --summary: its JSON stays JSON
    // whatever the delays (non-finite, or adding up past the largest number).
    static vorsk::Tally* tally = vorsk::tally_new();
    if (tally == nullptr) std::abort();
    vorsk::TallyRow* slots = tally->slots;
    for (std::size_t i = 0; i < vorsk::TALLY_SLOTS; ++i) slots[i] = vorsk::TallyRow{};
    *tally = vorsk::Tally{};
    tally->slots = slots;
    session.processor.tally = session.input_processor.tally = tally;
    vorsk::decode_duplex(session.processors, session.source);
    vorsk::writer_flush(*w);
    if (reader.finish != nullptr) reader.finish(reader.self);
    vorsk_fuzz::check_summary_json(*tally);

    release(session.processor);
    release(session.input_processor);
    vorsk::writer_free(w);
    vorsk::memory_sink_release(memory);
    vorsk::duplex_free(session.source);
    vorsk::cast_free(c);
    vorsk::ttyrec_free(tr);
    vorsk::advanced_timing_free(t);
    if (timings != nullptr) std::fclose(timings);
    close(fd);
    return 0;
}
