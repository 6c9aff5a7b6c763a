// The whole decoder over arbitrary bytes: the input buffer, the dispatcher,
// the escape and control sequence recognisers and the line writer. Every run
// must write a well-formed account and consume every byte, and the options
// may change only which rows are shown and their colours; the memo of
// sequences and the fast paths give the account the general paths give,
// and reads of one byte the account of whole reads.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vorsk_fuzz::DecodeSettings settings;
    const std::string_view input =
        vorsk_fuzz::take_settings({reinterpret_cast<const char*>(data), size}, settings);
    // The screen is fed in a size the input's length chooses, from 1x1 to
    // 500x200.
    settings.screen_cols = 1 + static_cast<int>(size * 7 % 500);
    settings.screen_rows = 1 + static_cast<int>(size % 200);
    const vorsk_fuzz::DecodeResult result = vorsk_fuzz::decode(input, settings);
    settings.screen_cols = 0;
    vorsk_fuzz::check_run(input, settings, result);
    vorsk_fuzz::check_shapes(input, settings, result);
    vorsk_fuzz::check_paths(input, settings);
    vorsk_fuzz::feed_screen_with_resizes(input, settings.shape.extended);
    return 0;
}
