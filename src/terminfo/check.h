// --check=TERM: what a terminal of a type would not do, or would show as
// garbage. Each sequence and control string of the output is judged by one
// rule after another against the entry; a finding goes to the report as it
// is found, and is counted by its rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "parse/control_string.h"
#include "parse/sequence.h"
#include "terminfo/terminfo.h"

namespace vorsk {

enum CheckRule : std::uint8_t {
    RULE_NO_ESCAPES,       // the entry sends no escape sequence at all (dumb)
    RULE_KITTY_KEYBOARD,   // kitty's keyboard protocol, which no capability declares
    RULE_QUERY,            // a request for an answer the entry does not send
    RULE_RGB,              // a direct colour without RGB
    RULE_COLORS,           // a colour beyond colors#
    RULE_UNDERLINE_STYLE,  // an underline style without Smulx
    RULE_UNDERLINE_COLOR,  // an underline colour without Setulc
    RULE_ATTRIBUTE,        // an SGR attribute no capability sets
    RULE_SYNC,             // synchronized output (mode 2026) without Sync
    RULE_MODE,             // a private mode no string of the entry sets or resets
    RULE_UNDECLARED,       // any other sequence the entry never sends
    RULE_UNTERMINATED,     // a control string left open
    N_CHECK_RULES,
};

struct CheckRuleInfo {
    CheckRule rule = N_CHECK_RULES;
    std::string_view id;     // in the report and the JSON
    std::string_view title;  // what the count line says
};

inline constexpr CheckRuleInfo check_rules[] = {
    {RULE_NO_ESCAPES, "no-escapes", "escape sequences to a type that has none"},
    {RULE_KITTY_KEYBOARD, "kitty-keyboard", "kitty keyboard protocol"},
    {RULE_QUERY, "query", "queries the entry does not send"},
    {RULE_RGB, "rgb", "direct colour without RGB"},
    {RULE_COLORS, "colors", "colours beyond the entry's colors"},
    {RULE_UNDERLINE_STYLE, "underline-style", "underline styles without Smulx"},
    {RULE_UNDERLINE_COLOR, "underline-color", "underline colours without Setulc"},
    {RULE_ATTRIBUTE, "attribute", "attributes no capability sets"},
    {RULE_SYNC, "sync", "synchronized output without Sync"},
    {RULE_MODE, "mode", "private modes no capability sets"},
    {RULE_UNDECLARED, "undeclared", "sequences no capability sends"},
    {RULE_UNTERMINATED, "unterminated", "control strings left unterminated"},
};
consteval bool check_rules_complete() {
    if (std::size(check_rules) != N_CHECK_RULES) return false;
    for (std::size_t i = 0; i < std::size(check_rules); ++i) {
        if (check_rules[i].rule != i || check_rules[i].id.empty()) return false;
    }
    return true;
}
static_assert(check_rules_complete(), "one row per rule, in the order of CheckRule");

// One finding, handed to the report as it is found.
struct Finding {
    CheckRule rule = N_CHECK_RULES;
    std::uint64_t offset = 0;
    double time = 0.0;  // seconds into a recording, where timed
    bool timed = false;
    std::string_view bytes;   // the sequence, shown: "Esc[?1049h"
    std::string_view detail;  // why: "no capability of vt100 sets mode 1049 (alternate screen)"
};

using FindingHandler = void (*)(void* arg, const Finding& finding);

struct CheckView {
    const TerminfoEntry* entry = nullptr;
    std::uint64_t counts[N_CHECK_RULES] = {};
    double elapsed = 0.0;  // the recorded pauses so far
    bool timed = false;
    FindingHandler report = nullptr;
    void* report_arg = nullptr;
};

std::uint64_t check_total(const CheckView& view);

// Judges a sequence of the output that began at input offset start.
void check_sequence(CheckView& view, const Sequence& s, std::uint64_t start, bool extended);
// Judges a control string at its end.
void check_string(CheckView& view, const ControlString& s, std::uint64_t start);

}  // namespace vorsk
