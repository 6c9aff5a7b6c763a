#include "terminfo/check.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "vocab/modes.h"
#include "vocab/sgr.h"

namespace vorsk {
namespace {

constexpr std::uint8_t ESC = 0x1b;

// The bytes of a finding as they are shown: ESC as "Esc", other controls
// in caret form, the rest as they are, cut after 48 bytes.
struct ShownBytes {
    char text[200] = {};
    std::size_t n = 0;
    void add(std::uint8_t b) {
        if (n + 8 >= sizeof text) return;
        if (b == ESC) {
            std::memcpy(text + n, "Esc", 3);
            n += 3;
        } else if (b < 0x20 || b == 0x7f) {
            text[n++] = '^';
            text[n++] = static_cast<char>(b ^ 0x40);
        } else if (b > 0x7f) {
            n += static_cast<std::size_t>(std::snprintf(text + n, 5, "\\x%02X", b));
        } else {
            text[n++] = static_cast<char>(b);
        }
    }
    void add_all(const std::uint8_t* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count && i < 48; ++i) add(bytes[i]);
        if (count > 48 && n + 3 < sizeof text) {
            std::memcpy(text + n, "...", 3);
            n += 3;
        }
    }
};

struct Judging {
    CheckView& view;
    std::uint64_t start;
    ShownBytes shown;
    const char* term() const { return terminfo_name(*view.entry); }

    __attribute__((format(printf, 3, 4))) void find(CheckRule rule, const char* format, ...) {
        char detail[256];
        va_list args;
        va_start(args, format);
        const int k = std::vsnprintf(detail, sizeof detail, format, args);
        va_end(args);
        ++view.counts[rule];
        if (view.report == nullptr) return;
        Finding f;
        f.rule = rule;
        f.offset = start;
        f.time = view.elapsed;
        f.timed = view.timed;
        f.bytes = {shown.text, shown.n};
        f.detail = {detail, k < 0 ? 0 : std::min(sizeof detail - 1, static_cast<std::size_t>(k))};
        view.report(view.report_arg, f);
    }
};

bool has(const CheckView& view, const char* name) {
    return terminfo_declares(*view.entry, name);
}

bool is_plain_csi(const Sequence& s, std::uint8_t marker, std::uint8_t final_byte) {
    return s.kind == CSI_SEQUENCE && s.marker == marker && s.n_intermediates == 0 &&
           s.final_byte == final_byte;
}

// The requests that make a terminal answer: device attributes, status and
// mode reports, the version, window reports, DECID.
bool is_query(const Sequence& s) {
    if (s.kind == FE_SEQUENCE || s.kind == FS_SEQUENCE) return false;
    if (s.kind == FP_SEQUENCE) return false;
    if (s.kind != CSI_SEQUENCE) return false;
    const std::uint32_t first = sequence_param(s, 0, 0);
    if (s.n_intermediates == 1 && s.intermediates[0] == '$' && s.final_byte == 'p') return true;
    if (s.n_intermediates != 0) return false;
    switch (s.final_byte) {
        case 'c': return s.marker == 0 || s.marker == '>' || s.marker == '=';
        case 'n': return s.marker == '?' || (s.marker == 0 && (first == 5 || first == 6));
        case 'q': return s.marker == '>';
        case 'm': return s.marker == '?';  // XTQMODKEYS
        case 'x': return s.marker == 0 && first <= 1;
        case 't':
            return s.marker == 0 &&
                   (first == 11 || first == 13 || first == 14 || first == 15 || first == 16 ||
                    first == 18 || first == 19 || first == 20 || first == 21);
        default: return false;
    }
}

bool is_decid(const Sequence& s) {
    return s.kind == FE_SEQUENCE && s.final_byte == 'Z';
}

void check_sgr(Judging& j, const Sequence& s, bool extended) {
    const CheckView& view = j.view;
    const int colors = terminfo_colors(*view.entry);
    const bool rgb = has(view, "RGB") || has(view, "setrgbf");
    SgrItem item;
    for (SgrReader r(s, extended); r.next(item);) {
        const bool underline_plane = item.plane == PLANE_UNDERLINE;
        switch (item.kind) {
            case SGR_RGB:
                if (underline_plane) {
                    if (!has(view, "Setulc"))
                        j.find(RULE_UNDERLINE_COLOR, "an underline colour, and %s has no Setulc",
                               j.term());
                } else if (!rgb) {
                    j.find(RULE_RGB, "a direct colour, and %s has no RGB", j.term());
                }
                break;
            case SGR_INDEX:
                if (underline_plane) {
                    if (!has(view, "Setulc"))
                        j.find(RULE_UNDERLINE_COLOR, "an underline colour, and %s has no Setulc",
                               j.term());
                } else if (colors < 0 || item.value >= static_cast<std::uint32_t>(colors)) {
                    j.find(RULE_COLORS, "colour %u, and %s has %d colours", item.value, j.term(),
                           colors < 0 ? 0 : colors);
                }
                break;
            case SGR_UNDERLINE:
                if (!has(view, "Smulx"))
                    j.find(RULE_UNDERLINE_STYLE, "underline style %u, and %s has no Smulx",
                           item.value, j.term());
                break;
            case SGR_UNKNOWN:
            case SGR_TOO_FEW:
            case SGR_COLOR_SPACE:
                j.find(RULE_COLORS, "a colour in a form no capability of %s sends", j.term());
                break;
            case SGR_VALUE: {
                const std::uint32_t v = item.value;
                // The attributes and the capabilities that set them.
                const char* cap = nullptr;
                switch (v) {
                    case 1: cap = "bold"; break;
                    case 2: cap = "dim"; break;
                    case 3: cap = "sitm"; break;
                    case 4: cap = "smul"; break;
                    case 5:
                    case 6: cap = "blink"; break;
                    case 7: cap = "rev"; break;
                    case 8: cap = "invis"; break;
                    case 9: cap = "smxx"; break;
                    case 53: cap = "Smol"; break;
                    default: break;
                }
                if (cap != nullptr) {
                    if (!has(view, cap))
                        j.find(RULE_ATTRIBUTE, "SGR %u, and %s has no %s", v, j.term(), cap);
                } else if ((v >= 30 && v <= 37) || (v >= 40 && v <= 47)) {
                    if (colors < 8)
                        j.find(RULE_COLORS, "colour %u, and %s has %d colours", v % 10, j.term(),
                               colors < 0 ? 0 : colors);
                } else if ((v >= 90 && v <= 97) || (v >= 100 && v <= 107)) {
                    if (colors < 16)
                        j.find(RULE_COLORS, "bright colour %u, and %s has %d colours", v % 10 + 8,
                               j.term(), colors < 0 ? 0 : colors);
                } else if (v != 0 && !(v >= 22 && v <= 29) && v != 39 && v != 49 && v != 54 &&
                           v != 55 && v != 59) {
                    // Resets are harmless everywhere; the rest is set by no
                    // capability.
                    j.find(RULE_ATTRIBUTE, "SGR %u, which no capability of %s sets", v, j.term());
                }
                break;
            }
        }
    }
}

void check_private_modes(Judging& j, const Sequence& s) {
    for (std::size_t i = 0; i < s.n_params; ++i) {
        if (!s.params[i].present) continue;
        const std::uint32_t mode = s.params[i].value;
        const std::string_view name = mode_short_name(mode, true);
        if (mode == 2026) {
            if (!has(j.view, "Sync"))
                j.find(RULE_SYNC, "synchronized output (mode 2026), and %s has no Sync", j.term());
        } else if (!terminfo_sets_mode(*j.view.entry, mode)) {
            j.find(RULE_MODE, "no capability of %s sets mode %u%s%.*s%s", j.term(), mode,
                   name.empty() ? "" : " (", static_cast<int>(name.size()), name.data(),
                   name.empty() ? "" : ")");
        }
    }
}

}  // namespace

std::uint64_t check_total(const CheckView& view) {
    std::uint64_t total = 0;
    for (const std::uint64_t count : view.counts) total += count;
    return total;
}

void check_sequence(CheckView& view, const Sequence& s, std::uint64_t start, bool extended) {
    std::uint8_t bytes[1 + MAX_SEQUENCE_BYTES];
    bytes[0] = ESC;
    std::memcpy(bytes + 1, s.bytes, s.n_bytes);
    const std::size_t n = 1 + s.n_bytes;
    Judging j{view, start, {}};
    j.shown.add_all(bytes, n);
    if (!terminfo_has_escapes(*view.entry)) {
        j.find(RULE_NO_ESCAPES, "%s sends no escape sequence at all", j.term());
        return;
    }
    if (s.kind == CSI_SEQUENCE && s.final_byte == 'u' && s.n_intermediates == 0 &&
        (s.marker == '>' || s.marker == '<' || s.marker == '=' || s.marker == '?')) {
        j.find(RULE_KITTY_KEYBOARD, "kitty's keyboard protocol, which no capability declares");
        return;
    }
    if (is_query(s) || is_decid(s)) {
        if (!terminfo_produces(*view.entry, bytes, n))
            j.find(RULE_QUERY, "a request for an answer, which %s does not send", j.term());
        return;
    }
    if (is_plain_csi(s, 0, 'm')) {
        check_sgr(j, s, extended);
        return;
    }
    if (is_plain_csi(s, '?', 'h') || is_plain_csi(s, '?', 'l')) {
        check_private_modes(j, s);
        return;
    }
    if (!terminfo_produces(*view.entry, bytes, n))
        j.find(RULE_UNDECLARED, "no capability of %s sends it", j.term());
}

void check_string(CheckView& view, const ControlString& s, std::uint64_t start) {
    Judging j{view, start, {}};
    j.shown.add(ESC);
    j.shown.add(static_cast<std::uint8_t>(string_introducer(s.kind)));
    j.shown.add_all(s.head, s.kept);
    if (!terminfo_has_escapes(*view.entry)) {
        j.find(RULE_NO_ESCAPES, "%s sends no control string at all", j.term());
        return;
    }
    if (s.end == END_ESCAPE || s.end == END_OF_INPUT) {
        j.find(RULE_UNTERMINATED, "%s: the terminal takes what follows as part of the string",
               s.end == END_ESCAPE ? "another escape sequence comes before its end"
                                   : "the input ends within it");
        return;
    }
    const std::string_view text = s.text();
    const bool osc_query = s.kind == OSC_STRING && !text.empty() && text.back() == '?' &&
                           (text.size() == 1 || text[text.size() - 2] == ';');
    const bool dcs_query =
        s.kind == DCS_STRING && (text.starts_with("$q") || text.starts_with("+q"));
    if (osc_query || dcs_query)
        j.find(RULE_QUERY, "a request for an answer, which %s does not send", j.term());
}

}  // namespace vorsk
