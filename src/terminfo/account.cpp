#include "terminfo/account.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "text/controls.h"

namespace vorsk {

namespace {

void write_none(const TerminfoView& view, LineWriter& w, bool keys) {
    const std::string_view none[] = {keys ? "no key of " : "no capability of ",
                                     terminfo_name(*view.entry)};
    writer_record(w, TERMINFO_LINE, none);
}

// The line of the bytes after an ESC; false, with nothing written, where
// they are no capability.
bool write_line(TerminfoView& view, LineWriter& w, const std::uint8_t* bytes, std::size_t n,
                std::uint64_t start, bool keys) {
    CapabilityMatch match;
    std::size_t before = 0;
    if (!terminfo_run_add(*view.entry, view.run, bytes, n, start, keys, match, before))
        return false;
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
    return true;
}

}  // namespace

void write_capability_line(TerminfoView& view, LineWriter& w, const Sequence& s,
                           std::uint64_t start, bool keys) {
    if (!writer_shows(w, TERMINFO_LINE)) return;
    if (!write_line(view, w, s.bytes, s.n_bytes, start, keys)) write_none(view, w, keys);
}

void write_string_capability_line(TerminfoView& view, LineWriter& w, const ControlString& s,
                                  std::uint64_t start) {
    if (!writer_shows(w, TERMINFO_LINE)) return;
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
    if (write_line(view, w, bytes, n, start, false)) return;
    // A string a capability opens, with text of the program's own after
    // it: the title of tsl, ended by fsl.
    std::uint8_t head[8] = {0x1b, static_cast<std::uint8_t>(string_introducer(s.kind))};
    const std::size_t n_head = 2 + std::min(s.kept, sizeof head - 2);
    std::memcpy(head + 2, s.head, n_head - 2);
    std::size_t opened = 0;
    const Capability* opener = terminfo_string_opener(*view.entry, head, n_head, opened);
    if (opener == nullptr || opened > s.length + 2) {
        write_none(view, w, false);
        return;
    }
    const std::string_view ending = s.end == END_BEL ? "\x07" : s.end == END_ST ? "\x1b\\" : "";
    const Capability* closer = terminfo_capability(*view.entry, "fsl");
    char line[256];
    const int k = std::snprintf(
        line, sizeof line, "%s (%s), then %llu bytes of text%s%s%s", opener->name,
        opener->long_name, static_cast<unsigned long long>(s.length + 2 - opened),
        closer != nullptr && !ending.empty() && ending == closer->text ? ", then fsl (" : "",
        closer != nullptr && !ending.empty() && ending == closer->text ? closer->long_name : "",
        closer != nullptr && !ending.empty() && ending == closer->text ? ")" : "");
    const std::string_view pieces[] = {
        {line, std::min(sizeof line - 1, static_cast<std::size_t>(k < 0 ? 0 : k))}};
    writer_record(w, TERMINFO_LINE, pieces);
}

}  // namespace vorsk
