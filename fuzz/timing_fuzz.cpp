// The timing reader over arbitrary timing files: reading records ends, and
// the timing steps over a small typescript keep the account well formed and
// every input byte counted, whatever the records say.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness.h"
#include "input/timing.h"

namespace {

constexpr char TYPESCRIPT[] =
    "Script started on 2024-01-01 00:00:00+00:00\n"
    "$ ls\r\n\x1b[0m\x1b[01;34mbin\x1b[0m  notes.txt\r\n"
    "$ \x1b[?2004h\x07\x1b[K"
    "exit\r\n"
    "\nScript done on 2024-01-01 00:00:01+00:00\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);

    // Reading alone: every record read takes at least one byte, so the
    // reader meets the end of the file within as many calls.
    std::FILE* f = fmemopen(text.data(), text.size(), "r");
    if (f == nullptr) std::abort();
    std::FILE* timings = f;
    std::size_t records = 0;
    vorsk::TimingRecord record;
    while (vorsk::read_timing_record(timings, record)) {
        if (++records > size) {
            std::fprintf(stderr, "read_timing_record never reaches the end\n");
            std::abort();
        }
    }
    if (timings != nullptr || record.count != 0 || record.delay != 0.0) {
        std::fprintf(stderr, "an exhausted timing file is not forgotten\n");
        std::abort();
    }
    std::fclose(f);

    // The steps over a typescript, and over its first bytes only.
    vorsk_fuzz::DecodeSettings settings;
    settings.shape.delays = true;
    settings.timings = text;
    const std::string_view whole(TYPESCRIPT, sizeof TYPESCRIPT - 1);
    const std::string_view input =
        whole.substr(0, size == 0 ? whole.size() : data[0] % whole.size());
    vorsk_fuzz::check_run(input, settings, vorsk_fuzz::decode(input, settings));
    return 0;
}
