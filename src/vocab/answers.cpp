// The answers of a terminal in typed input, and the queries of the output
// side that they answer.
#include "vocab/answers.h"

#include <string_view>

#include "vocab/fields.h"
#include "vocab/strings.h"

namespace vorsk {

QueryKind query_of_sequence(const Sequence& s) {
    if (s.kind != CSI_SEQUENCE || s.n_intermediates != 0) return QUERY_NONE;
    const std::uint32_t first = sequence_param(s, 0, 0);
    if (s.final_byte == 'n' && first == 6 && (s.marker == 0 || s.marker == '?'))
        return QUERY_POSITION;
    if (s.final_byte == 't' && s.marker == 0 && first >= 11 && first <= 19) return QUERY_SIZE;
    return QUERY_NONE;
}

QueryKind query_of_string(const ControlString& s) {
    if (s.kind != OSC_STRING) return QUERY_NONE;
    const std::string_view text = s.text();
    std::uint32_t number = 0;
    if (!parse_number(field(text, 0), number)) return QUERY_NONE;
    if ((number == 4 || (number >= 10 && number <= 19)) && text.ends_with(";?")) return QUERY_COLOR;
    return QUERY_NONE;
}

namespace {

// CSI Ps ; height ; width t: xterm's reports of sizes, by Ps.
struct SizeReport {
    std::uint32_t what;
    const char* thing;
    const char* unit;
};
constexpr SizeReport size_reports[] = {
    {4, "text area", "pixels"},     {5, "screen", "pixels"},     {6, "character cell", "pixels"},
    {8, "text area", "characters"}, {9, "screen", "characters"},
};

}  // namespace

bool describe_answer_sequence(const Sequence& s, LineWriter& w, Queries* queries) {
    if (s.kind != CSI_SEQUENCE || s.marker != 0 || s.n_intermediates != 0 || s.final_byte != 't')
        return false;
    const std::uint32_t what = sequence_param(s, 0, 0);
    if ((what == 1 || what == 2) && s.n_params == 1) {
        take_answer(queries, QUERY_SIZE);
        print_label_line(w, "%s: %s", "XTWINOPS", "WINDOW REPORT");
        print_description_line(w, "(Xterm) The window is %s.", what == 1 ? "open" : "iconified");
        return true;
    }
    if (s.n_params != 3) return false;
    const std::uint32_t a = sequence_param(s, 1, 0), b = sequence_param(s, 2, 0);
    if (what == 3) {
        take_answer(queries, QUERY_SIZE);
        print_label_line(w, "%s: %s", "XTWINOPS", "WINDOW REPORT");
        print_description_line(w, "(Xterm) The window is at x %u, y %u in pixels.", a, b);
        return true;
    }
    for (const SizeReport& r : size_reports) {
        if (r.what != what) continue;
        take_answer(queries, QUERY_SIZE);
        print_label_line(w, "%s: %s", "XTWINOPS", "SIZE REPORT");
        print_description_line(w, "(Xterm) The %s is %u %s high and %u wide.", r.thing, a, r.unit,
                               b);
        return true;
    }
    return false;
    return true;
}

bool describe_answer_string(const ControlString& s, LineWriter& w, Queries* queries) {
    const std::string_view text = s.text();
    if (s.kind == DCS_STRING && text.starts_with("!|")) {
        print_string_label(w, "DCS", "! |", "DECRPTUI: REPORT TERMINAL UNIT ID");
        print_description_line(w, "(DEC) Report the terminal unit ID \"%s\".",
                               shown(text.substr(2)).text);
        return true;
    }
    if (s.kind != OSC_STRING || !describe_color_report(s, w)) return false;
    take_answer(queries, QUERY_COLOR);
    return true;
}

}  // namespace vorsk
