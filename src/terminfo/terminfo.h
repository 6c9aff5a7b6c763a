// The strings of a terminal type as ncurses reads them from the terminfo
// database, and the capability whose string a run of escape sequences is:
// its parameters found by running the entry's own %-program (tiparm) and
// comparing what it gives with the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vorsk {

inline constexpr std::size_t MAX_CAP_PARAMS = 9;

// One string capability of the entry.
struct Capability {
    const char* name = "";       // the short name: "cup", "Smulx"
    const char* long_name = "";  // "cursor_address"; a phrase for an extended one
    const char* text = "";       // the string as ncurses holds it, padding included
    std::uint8_t n_params = 0;   // the highest %pN of its program
    bool key = false;            // what a key sends, matched in typed input
    bool extended = false;       // not one of the standard names
};

struct TerminfoEntry;

// Reads the entry of a terminal type; nullptr when ncurses knows no such
// type (or memory is exhausted), with the reason in `why`.
TerminfoEntry* terminfo_load(const char* term, const char** why);
void terminfo_free(TerminfoEntry* entry);

const char* terminfo_name(const TerminfoEntry& entry);
// The number of colours (colors#), -1 where the entry has none.
int terminfo_colors(const TerminfoEntry& entry);
// Whether the entry has a boolean, number or string of this name (extended
// names included: RGB, Sync, Smulx).
bool terminfo_declares(const TerminfoEntry& entry, const char* name);
// Whether any escape sequence at all is in the entry's strings.
bool terminfo_has_escapes(const TerminfoEntry& entry);
// Whether the entry's strings set or reset this DEC private mode.
bool terminfo_sets_mode(const TerminfoEntry& entry, std::uint32_t mode);

// What a run of bytes is in the entry.
struct CapabilityMatch {
    const Capability* caps[4] = {};  // every capability with these bytes, the first four
    std::size_t n_caps = 0;
    int params[MAX_CAP_PARAMS] = {};  // the parameters of the first, where it has any
    char tail[4] = {};                // control bytes its string goes on with, past the run
    std::size_t n_tail = 0;
};

// Matches bytes (from ESC on) against the strings of the keys (keys) or of
// the other capabilities; padding is left out of both.
bool terminfo_match(const TerminfoEntry& entry, const std::uint8_t* bytes, std::size_t n, bool keys,
                    CapabilityMatch& match);

// The capability without parameters whose string opens a control string
// that the bytes (ESC, the introducer, the start of the payload) begin
// with, as tsl opens a title; its length in `length`. nullptr where none.
const Capability* terminfo_string_opener(const TerminfoEntry& entry, const std::uint8_t* bytes,
                                         std::size_t n, std::size_t& length);
// The string capability of that name, or nullptr.
const Capability* terminfo_capability(const TerminfoEntry& entry, const char* name);

// Whether the entry ever sends these bytes (from ESC on): as a string of
// its own, with parameters, or as one of the sequences of a longer string.
bool terminfo_produces(const TerminfoEntry& entry, const std::uint8_t* bytes, std::size_t n);

// The capability of the last few adjacent sequences: consecutive calls
// whose bytes touch in the input form a run, and the longest run ending
// with the latest sequence that is a capability's whole string is found.
struct TerminfoRun {
    static constexpr std::size_t MAX_BYTES = 256;
    static constexpr std::size_t MAX_SEQUENCES = 8;
    std::uint8_t bytes[MAX_BYTES] = {};
    std::size_t n_bytes = 0;
    std::size_t starts[MAX_SEQUENCES] = {};  // where each sequence of the run begins in bytes
    std::size_t n_sequences = 0;
    std::uint64_t end = UINT64_MAX;  // the input offset just past the run
};

// Adds a sequence (the bytes after ESC) that began at input offset start;
// returns the match of the longest run ending with it, with the number of
// sequences before it that the capability takes in, or false.
bool terminfo_run_add(const TerminfoEntry& entry, TerminfoRun& run, const std::uint8_t* bytes,
                      std::size_t n, std::uint64_t start, bool keys, CapabilityMatch& match,
                      std::size_t& sequences_before);

// The decoded parameters of a match, as a phrase ("line 5, column 7");
// empty for a capability without parameters. Returns its length.
std::size_t describe_capability_params(const CapabilityMatch& match, char* out, std::size_t size);

}  // namespace vorsk
