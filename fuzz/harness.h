// What the fuzz targets share: the whole decoder run over bytes in memory,
// and the checks that every run must pass.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "decode/tally.h"
#include "invariants.h"

namespace vorsk_fuzz {

struct DecodeSettings {
    vorsk_test::OutputShape shape;
    std::string color_string;  // applied after the default colours, when colours are on
    std::string timings;       // the timing file's text; empty with shape.delays off
    // 0: the input is read in whole chunks; otherwise every read gives at
    // most this many bytes, as a pipe may.
    std::size_t read_size = 0;
    bool keys = false;  // with extended mode, the input is what a terminal sends
    // Tallied as for --summary, and the summary written: its JSON must be
    // whole. A tallied run replays nothing from the memo.
    bool tally = true;
    bool reference = false;  // the general paths alone, as VORSK_REFERENCE=1 has it
    // A screen of this size is fed too and written at the end (0: none).
    int screen_cols = 0;
    int screen_rows = 0;
};

struct DecodeResult {
    std::string output;
    std::uint64_t consumed = 0;  // the input buffer's count at the end
};

// Runs the main loop over the input as the program does, with the options
// of the settings, into an in-memory output. The first line pass and the
// timing steps happen only with shape.delays on.
DecodeResult decode(std::string_view input, const DecodeSettings& settings);

// The summary of a tally as JSON: one whole object, and no number that
// JSON cannot hold (a sum of delays that is nan or infinite).
void check_summary_json(vorsk::Tally& tally);

// Aborts with a message when the run broke a rule: a malformed account, or
// an input byte that was never consumed.
void check_run(std::string_view input, const DecodeSettings& settings, const DecodeResult& result);

// Aborts unless the run's account is what the fullest account of the same
// input becomes when the row kinds switched off are left out and the colour
// escapes taken away: the options change what is shown, never how the input
// is read.
void check_shapes(std::string_view input, const DecodeSettings& settings,
                  const DecodeResult& result);

// Aborts unless the account is the same with the memo of sequences and the
// fast paths as along the general paths alone, and (but for typed input,
// whose keys are told by the reads) the same whole as read a byte at a time.
void check_paths(std::string_view input, const DecodeSettings& settings);

// A file in memory that holds the bytes, its offset at the start, for the
// readers of recordings.
int memory_file(std::string_view bytes);

// Takes the settings from the first bytes of a fuzz input and returns the
// rest, the bytes to decode: a flag byte (bit 0 hides carets, 1 descriptions,
// 2 labels, 3 escape lines, bit 4 turns colours on, bits 5 to 7 choose the
// read size), a byte whose top bit turns on extended mode, whose next bit
// reads the input as keys, and whose low six bits give the length of the
// colour string that follows.
std::string_view take_settings(std::string_view data, DecodeSettings& settings);

// The screen alone, fed the input in three parts with the screen resized
// between them, sizes from 1x1 to 500x200 chosen by the input; what it
// writes is thrown away: it must not crash or read out of bounds.
void feed_screen_with_resizes(std::string_view input, bool extended);

}  // namespace vorsk_fuzz
