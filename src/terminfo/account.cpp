#include "terminfo/account.h"

#include <cstdio>
#include <cstring>

#include "text/controls.h"

namespace vorsk {

namespace {

// The line of the bytes after an ESC.
void write_line(TerminfoView& view, LineWriter& w, const std::uint8_t* bytes, std::size_t n,
                std::uint64_t start, bool keys) {
    if (!writer_shows(w, TERMINFO_LINE)) return;
    CapabilityMatch match;
    std::size_t before = 0;
    if (!terminfo_run_add(*view.entry, view.run, bytes, n, start, keys, match, before)) {
        const std::string_view none[] = {keys ? "no key of " : "no capability of ",
                                         terminfo_name(*view.entry)};
        writer_record(w, TERMINFO_LINE, none);
        return;
    }
    char line[512];
    std::size_t used = 0;
    const auto add = [&](const char* text, std::size_t size) {
        for (std::size_t i = 0; i < size && used + 1 < sizeof line; ++i) line[used++] = text[i];
    };
    const auto add_string = [&](std::string_view text) { add(text.data(), text.size()); };
    for (std::size_t i = 0; i < match.n_caps; ++i) {
        if (i != 0) add_string(" or ");
        add_string(match.caps[i]->name);
        add_string(" (");
        add_string(match.caps[i]->long_name);
        add_string(")");
    }
    char params[160];
    if (const std::size_t k = describe_capability_params(match, params, sizeof params); k != 0) {
        add_string(": ");
        add(params, k);
    }
    if (before != 0) {
        char phrase[48];
        const int k = before == 1
                          ? std::snprintf(phrase, sizeof phrase, "; begun by the sequence before")
                          : std::snprintf(phrase, sizeof phrase,
                                          "; begun by the %zu sequences before", before);
        add(phrase, static_cast<std::size_t>(k));
    }
    if (match.n_tail != 0) {
        add_string("; its string goes on with");
        for (std::size_t i = 0; i < match.n_tail; ++i) {
            add_string(" ");
            add_string(c0_control(static_cast<std::uint8_t>(match.tail[i])).acronym);
        }
    }
    const std::string_view pieces[] = {{line, used}};
    writer_record(w, TERMINFO_LINE, pieces);
}

}  // namespace

void write_capability_line(TerminfoView& view, LineWriter& w, const Sequence& s,
                           std::uint64_t start, bool keys) {
    write_line(view, w, s.bytes, s.n_bytes, start, keys);
}

void write_string_capability_line(TerminfoView& view, LineWriter& w, const ControlString& s,
                                  std::uint64_t start) {
    // The introducer, the payload, the terminator; a string the run
    // cannot hold is no capability, as no string of an entry is as long.
    std::uint8_t bytes[TerminfoRun::MAX_BYTES + 1];
    std::size_t n = 0;
    const bool whole =
        s.whole() && (s.end == END_ST || s.end == END_BEL) && s.kept + 3 <= TerminfoRun::MAX_BYTES;
    bytes[n++] = static_cast<std::uint8_t>(string_introducer(s.kind));
    if (whole) {
        std::memcpy(bytes + n, s.head, s.kept);
        n += s.kept;
        if (s.end == END_BEL) {
            bytes[n++] = 0x07;
        } else {
            bytes[n++] = 0x1b;
            bytes[n++] = '\\';
        }
    } else {
        // Cut short or too long: bytes no string of an entry has.
        bytes[n++] = 0x18;
    }
    write_line(view, w, bytes, n, start, false);
}

}  // namespace vorsk
