// The colour string parser over arbitrary strings: every slot it fills must
// lie inside the string it was given (or the defaults) and hold only SGR
// parameter bytes, and a run with those colours must write only well-formed
// colour escapes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "harness.h"
#include "output/colors.h"

namespace {

// A sample that makes every kind of row, wrapped rows and delay rows too.
constexpr char SAMPLE[] =
    "Script started\n"
    "ab\r\n\x1b[1;31mred\x1b[m\x1b(B\x1b"
    "7"
    "\x1b[1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23;24;25;26;27;28;29;30H"
    "\x01\x02\x03\x04\x05\x06\x07\x08\x0b\x0c\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x7f\x80\xff"
    "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234\n"
    "\x1b[?4h\x1b[?1049h";

constexpr char SAMPLE_TIMINGS[] = "0.1 20\n0.25 30\n1.5 40\n0 5\n";

bool within(const char* p, const char* begin, std::size_t size) {
    return p >= begin && p <= begin + size;
}

void check_slot(const char* name, const vorsk::ColorValue& slot, const char* colors,
                std::size_t size) {
    if (slot.len == 0) return;
    const std::size_t defaults_size = std::strlen(vorsk::DEFAULT_COLORS);
    const bool in_string =
        within(slot.text, colors, size) && within(slot.text + slot.len, colors, size);
    const bool in_defaults = within(slot.text, vorsk::DEFAULT_COLORS, defaults_size) &&
                             within(slot.text + slot.len, vorsk::DEFAULT_COLORS, defaults_size);
    if (!in_string && !in_defaults) {
        std::fprintf(stderr, "colour slot %s points outside its string\n", name);
        std::abort();
    }
    for (std::uint32_t i = 0; i < slot.len; ++i) {
        if (slot.text[i] < 0x30 || slot.text[i] > 0x3f) {
            std::fprintf(stderr, "colour slot %s holds a byte that is no SGR parameter\n", name);
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy, so that a read past the terminating NUL is caught.
    const std::unique_ptr<char[]> colors(new char[size + 1]);
    std::memcpy(colors.get(), data, size);
    colors[size] = '\0';
    const std::size_t length = std::strlen(colors.get());

    const vorsk::Palette palette = vorsk::configured_palette(colors.get());
    static constexpr const char* KEYS[vorsk::N_COLOR_KEYS] = {"|>", "|", ".", ":", "&", "\"", "@"};
    for (std::size_t key = 0; key < vorsk::N_COLOR_KEYS; ++key) {
        check_slot(KEYS[key], palette.colors[key], colors.get(), length);
    }

    vorsk_fuzz::DecodeSettings settings;
    settings.shape.colors = true;
    settings.shape.delays = true;
    settings.color_string = colors.get();
    settings.timings = SAMPLE_TIMINGS;
    const std::string_view input(SAMPLE, sizeof SAMPLE - 1);
    vorsk_fuzz::check_run(input, settings, vorsk_fuzz::decode(input, settings));
    return 0;
}
