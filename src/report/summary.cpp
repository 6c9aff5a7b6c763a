// The summary of a tally: its rows in the order of their kinds, the totals
// and the features, as a table after the account or as one JSON object.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "decode/tally.h"
#include "report/raw_output.h"
#include "text/safe_text.h"
#include "vocab/designations.h"
#include "vocab/escapes.h"
#include "vocab/modes.h"

namespace vorsk {
namespace {

constexpr const char* kind_names[] = {
    "control", "escape",       "designation", "function", "sequence",
    "mode",    "private mode", "string",      "key",
};
static_assert(std::size(kind_names) == N_ROW_KINDS, "one name per kind of row");

constexpr const char* family_names[] = {"OSC", "DCS", "APC", "PM", "SOS", "ESC k"};

// Appends the echo of a sequence byte: " Spc" for a blank, " X" otherwise.
void append_byte(char* out, std::size_t cap, std::uint64_t b) {
    if (b == 0) return;
    const std::size_t n = std::strlen(out);
    if (b == ' ') {
        std::snprintf(out + n, cap - n, " Spc");
    } else {
        std::snprintf(out + n, cap - n, " %c", static_cast<char>(b));
    }
}

// A private mode's set text on one line: the continuation mark of a text
// of two lines becomes a blank.
void join_lines(char* out, std::size_t cap, std::string_view text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size() && n + 1 < cap; ++i) {
        if (text.substr(i, 3) == "\n\" ") {
            i += 2;
            while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
        }
        out[n++] = text[i] == '\n' ? ' ' : text[i];
    }
    out[n] = '\0';
}

constexpr std::size_t LABEL_SIZE = 32;
constexpr std::size_t DESCRIPTION_SIZE = 160;

struct RowText {
    char label[LABEL_SIZE] = {};
    char description[DESCRIPTION_SIZE] = {};
};

template <std::size_t N>
VORSK_PRINTF(2, 3)
void put(char (&field)[N], const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(field, N, format, args);
    va_end(args);
}

template <std::size_t N>
void put_view(char (&field)[N], std::string_view text) {
    put(field, "%.*s", static_cast<int>(text.size()), text.data());
}

// "Esc", then the three bytes of an identity, each echoed where it is not 0.
template <std::size_t N>
void put_identity(char (&field)[N], const char* prefix, std::uint64_t identity) {
    put(field, "%s", prefix);
    for (const int shift : {16, 8, 0}) append_byte(field, N, identity >> shift & 0xff);
}

void control_row(RowText& out, std::uint64_t sub) {
    const auto b = static_cast<unsigned char>(sub);
    if (b < 0x20 || b == 0x7f) {
        put(out.label, "%s", c0_item_name(b));
        put_view(out.description, c0_control(b).name);
    } else {
        put(out.label, "x%02X", b);
        put(out.description, "%s", b < 0xa0 ? "C1 CONTROL (ONE BYTE)" : "BYTE OUTSIDE ASCII");
    }
}

void escape_row(RowText& out, std::uint64_t sub) {
    std::string_view acronym;
    std::string_view name;
    if (two_byte_escape_name(static_cast<std::uint8_t>(sub), &acronym, &name)) {
        put_view(out.label, acronym);
        put_view(out.description, name);
    } else {
        put(out.label, "Esc %c", static_cast<char>(sub));
    }
}

// A control sequence, by the row of the function table that names it.
void function_row(RowText& out, RowKind kind, std::uint64_t sub, const CsiFunction* f) {
    if (kind == ROW_FUNCTION) {
        // A classic row under a marker is the function of the row without
        // it, with private parameters, as its label line says.
        const bool own = (sub >> 32) != 0 || (f->key >> 16) == 0;
        put_view(out.label, f->acronym);
        put(out.description, "%.*s%s", static_cast<int>(f->name.size()), f->name.data(),
            own ? "" : " (private params)");
        return;
    }
    if ((sub & ALT_KEY_IDENTITY) != 0) {
        const auto key = static_cast<unsigned char>(sub);
        put(out.label, "Esc%s", key == 0x7f ? " DEL" : "");
        if (key != 0x7f) append_byte(out.label, sizeof out.label, key);
        put(out.description, "%s", "ALT KEY");
        return;
    }
    put_identity(out.label, "Esc [", sub);
    if (f != nullptr) {
        put(out.description, "%.*s: %.*s (private params)", static_cast<int>(f->acronym.size()),
            f->acronym.data(), static_cast<int>(f->name.size()), f->name.data());
    }
}

void mode_row(RowText& out, RowKind kind, std::uint64_t sub, bool extended) {
    const auto mode = static_cast<std::uint32_t>(sub);
    if (kind == ROW_STANDARD_MODE) {
        put(out.label, "%" PRIu32, mode);
        if (const StandardMode* m = find_standard_mode(mode, true)) {
            put(out.description, "%.*s: %.*s", static_cast<int>(m->acronym.size()),
                m->acronym.data(), static_cast<int>(m->name.size()), m->name.data());
        }
        return;
    }
    put(out.label, "?%" PRIu32, mode);
    // The text the account gives the mode when set.
    if (const PrivateMode* m = find_private_mode(mode, true))
        join_lines(out.description, sizeof out.description, private_mode_text(*m, true, extended));
}

void string_row(RowText& out, std::uint64_t sub, const char* label) {
    const auto family = static_cast<std::size_t>(sub >> 32);
    const auto number = static_cast<std::uint32_t>(sub);
    const char* name = family < std::size(family_names) ? family_names[family] : "";
    if (number == STRING_NO_NUMBER) {
        put(out.label, "%s", name);
    } else if (number == STRING_TMUX) {
        put(out.label, "%s tmux", name);
    } else if (family == OSC_STRING) {
        put(out.label, "%s %" PRIu32, name, number);
    } else if (family == APC_STRING) {
        put(out.label, "%s %c", name, static_cast<char>(number));
    } else {
        put(out.label, "%s", name);
        for (const int shift : {24, 16, 8, 0})
            append_byte(out.label, sizeof out.label, number >> shift & 0xff);
    }
    constexpr const char* generic[] = {
        "OPERATING SYSTEM COMMAND", "DEVICE CONTROL STRING", "APPLICATION PROGRAM COMMAND",
        "PRIVACY MESSAGE",          "START OF STRING",       "SET WINDOW TITLE"};
    put(out.description, "%s",
        label != nullptr              ? label
        : family < std::size(generic) ? generic[family]
                                      : "");
}

RowText row_text(const TallyRow& row, bool other, bool extended) {
    RowText out;
    const auto kind = static_cast<RowKind>((row.key >> 56) - 1);
    const std::uint64_t sub = row.key & ((std::uint64_t{1} << 56) - 1);
    if (other) {
        put(out.label, "%s", "(other)");
        put(out.description, "%s", "more kinds than the summary's table holds");
        return out;
    }
    switch (kind) {
        case ROW_CONTROL: control_row(out, sub); break;
        case ROW_ESCAPE: escape_row(out, sub); break;
        case ROW_DESIGNATION:
            put_identity(out.label, "Esc", sub);
            // What the account's label says, where it has one.
            if ((sub >> 24) == 0) {
                nf_label(out.description, sizeof out.description, sub >> 16 & 0xff, sub >> 8 & 0xff,
                         sub & 0xff, extended);
            }
            break;
        case ROW_FUNCTION:
        case ROW_KEY:
        case ROW_UNKNOWN:
            function_row(out, kind, sub, static_cast<const CsiFunction*>(row.info));
            break;
        case ROW_STANDARD_MODE:
        case ROW_PRIVATE_MODE: mode_row(out, kind, sub, extended); break;
        case ROW_STRING: string_row(out, sub, static_cast<const char*>(row.info)); break;
        case N_ROW_KINDS: break;
    }
    return out;
}

struct Word {
    std::uint32_t bit;
    const char* json;  // the name in JSON
    const char* text;  // the words of the table
};

constexpr Word mouse_modes[] = {
    {MOUSE_X10, "x10", "X10 (9)"},
    {MOUSE_NORMAL, "normal", "normal (1000)"},
    {MOUSE_HIGHLIGHT, "highlight", "highlight (1001)"},
    {MOUSE_BUTTON, "button-event", "button-event (1002)"},
    {MOUSE_ANY, "any-event", "any-event (1003)"},
};
constexpr Word mouse_encodings[] = {
    {MOUSE_UTF8, "utf-8", "UTF-8 (1005)"},
    {MOUSE_SGR, "sgr", "SGR (1006)"},
    {MOUSE_URXVT, "urxvt", "urxvt (1015)"},
    {MOUSE_SGR_PIXELS, "sgr-pixels", "SGR pixels (1016)"},
};
constexpr Word keyboards[] = {
    {FEATURE_KITTY_KEYBOARD, "kitty", "kitty's progressive enhancement"},
    {FEATURE_MODIFY_OTHER_KEYS, "modifyOtherKeys", "xterm's modifyOtherKeys"},
};
constexpr Word images[] = {
    {FEATURE_SIXEL, "sixel", "sixel"},
    {FEATURE_KITTY_GRAPHICS, "kitty", "kitty graphics"},
    {FEATURE_ITERM_IMAGES, "iterm2", "iTerm2 inline files"},
};
constexpr Word flags[] = {
    {FEATURE_ALTERNATE_SCREEN, "alternate_screen", "alternate screen"},
    {FEATURE_BRACKETED_PASTE, "bracketed_paste", "bracketed paste"},
    {FEATURE_SYNCHRONIZED_OUTPUT, "synchronized_output", "synchronized output"},
    {FEATURE_FOCUS_EVENTS, "focus_events", "focus events"},
    {FEATURE_HYPERLINKS, "hyperlinks", "hyperlinks"},
    {FEATURE_CLIPBOARD_WRITE, "clipboard_write", "clipboard writes"},
    {FEATURE_CLIPBOARD_READ, "clipboard_read", "clipboard reads"},
    {FEATURE_TITLE, "title_changes", "title changes"},
};

constexpr std::uint32_t depth_numbers[] = {0, 8, 16, 256, 16777216};
constexpr const char* depth_words[] = {"", "8 colours", "16 colours", "256 colours",
                                       "true colour (24-bit)"};

template <std::size_t N>
void json_words(LineWriter& w, const char* name, const Word (&words)[N], std::uint32_t bits) {
    out(w, ",\"%s\":[", name);
    bool first = true;
    for (const Word& word : words) {
        if ((bits & word.bit) == 0) continue;
        if (!first) raw(w, ",");
        first = false;
        json_string(w, word.json);
    }
    raw(w, "]");
}

// "a, b and c" of the words whose bits are set.
template <std::size_t N>
void text_words(LineWriter& w, const Word (&words)[N], std::uint32_t bits) {
    std::size_t left = 0;
    for (const Word& word : words) left += (bits & word.bit) != 0;
    for (const Word& word : words) {
        if ((bits & word.bit) == 0) continue;
        --left;
        out(w, "%s%s", word.text, left == 0 ? "" : left == 1 ? " and " : ", ");
    }
}

// The rows in the order they are listed, each kind's "other" row last.
template <typename Visit>
void each_row(const Tally& t, std::size_t n, Visit visit) {
    std::size_t i = 0;
    for (std::size_t kind = 0; kind < N_ROW_KINDS; ++kind) {
        for (; i < n && (t.slots[i].key >> 56) - 1 == kind; ++i) visit(t.slots[i], false);
        if (t.other[kind].count != 0) visit(t.other[kind], true);
    }
}

// What a sum is when it is no finite number: a delay of a classic timing
// file that is not a number, or delays past the largest number.
const char* not_finite(double x) {
    return std::isnan(x) ? "not a number" : x > 0 ? "infinite" : "minus infinite";
}

void write_json(const Tally& t, std::size_t n, LineWriter& w) {
    out(w, "{\"bytes\":%" PRIu64 ",%s\"rows\":[", t.bytes,
        t.stopped_early ? "\"stopped_early\":true," : "");
    bool first = true;
    each_row(t, n, [&](const TallyRow& row, bool other) {
        const RowText text = row_text(row, other, t.extended);
        raw(w, first ? "\n{\"kind\":" : ",\n{\"kind\":");
        first = false;
        json_string(w, kind_names[(row.key >> 56) - 1]);
        raw(w, ",\"label\":");
        json_string(w, text.label);
        raw(w, ",\"description\":");
        json_string(w, text.description);
        out(w, ",\"count\":%" PRIu64 ",\"first\":%" PRIu64 "}", row.count, row.first);
    });
    out(w,
        "],\n\"totals\":{\"text_bytes\":%" PRIu64 ",\"controls\":%" PRIu64 ",\"sequences\":%" PRIu64
        ",\"strings\":%" PRIu64 ",\"invalid_utf8\":%" PRIu64 ",\"delays\":%" PRIu64 ",",
        t.text_bytes, t.controls, t.sequences, t.strings, t.invalid_utf8, t.delays);
    // A sum that is no finite number is no JSON number either.
    if (std::isfinite(t.delay_sum)) {
        out(w, "\"delay_seconds\":%.6f},\n", t.delay_sum);
    } else {
        out(w, "\"delay_seconds\":null,\"delay_seconds_not_finite\":\"%s\"},\n",
            not_finite(t.delay_sum));
    }
    out(w, "\"features\":{\"color_depth\":%" PRIu32, depth_numbers[t.depth]);
    for (const Word& flag : flags) {
        out(w, ",\"%s\":%s", flag.json, (t.features & flag.bit) != 0 ? "true" : "false");
    }
    json_words(w, "mouse_tracking", mouse_modes, t.mouse);
    json_words(w, "mouse_encodings", mouse_encodings, t.mouse);
    json_words(w, "keyboard_protocols", keyboards, t.features);
    json_words(w, "images", images, t.features);
    raw(w, "}}\n");
}

void write_table(const Tally& t, std::size_t n, LineWriter& w) {
    out(w, "Summary of %" PRIu64 " byte%s\n", t.bytes, t.bytes == 1 ? "" : "s");
    if (t.stopped_early) out(w, "%s\n", "The recording stopped early: its account is cut short.");
    out(w, "%-13s%-16s%10s %10s  %s\n", "kind", "label", "count", "first", "description");
    each_row(t, n, [&](const TallyRow& row, bool other) {
        const RowText text = row_text(row, other, t.extended);
        out(w, "%-13s%-16s%10" PRIu64 " %10" PRIu64 "%s%s\n", kind_names[(row.key >> 56) - 1],
            text.label, row.count, row.first, *text.description != '\0' ? "  " : "",
            text.description);
    });
    out(w,
        "Totals:\n  text: %" PRIu64 " bytes\n  controls: %" PRIu64 "\n  sequences: %" PRIu64
        "\n  strings: %" PRIu64 "\n  invalid UTF-8: %" PRIu64 " bytes\n  delays: %" PRIu64 ", ",
        t.text_bytes, t.controls, t.sequences, t.strings, t.invalid_utf8, t.delays);
    if (std::isfinite(t.delay_sum)) {
        out(w, "%.6f seconds\n", t.delay_sum);
    } else {
        out(w, "%s%s seconds\n", not_finite(t.delay_sum), std::isnan(t.delay_sum) ? " of" : "");
    }
    out(w, "Features:");
    bool any = false;
    if (t.depth != DEPTH_NONE) {
        out(w, "\n  colours: %s", depth_words[t.depth]);
        any = true;
    }
    for (const Word& flag : flags) {
        if ((t.features & flag.bit) == 0) continue;
        out(w, "\n  %s", flag.text);
        any = true;
    }
    if ((t.mouse & 0xff) != 0) {
        out(w, "\n  mouse tracking: ");
        text_words(w, mouse_modes, t.mouse);
        out(w, "; encoding: ");
        if ((t.mouse & ~0xffu) == 0) out(w, "X10 bytes");
        text_words(w, mouse_encodings, t.mouse);
        any = true;
    } else if (t.mouse != 0) {
        out(w, "\n  mouse encoding without tracking: ");
        text_words(w, mouse_encodings, t.mouse);
        any = true;
    }
    if ((t.features & (FEATURE_KITTY_KEYBOARD | FEATURE_MODIFY_OTHER_KEYS)) != 0) {
        out(w, "\n  keyboard protocol: ");
        text_words(w, keyboards, t.features);
        any = true;
    }
    if ((t.features & (FEATURE_SIXEL | FEATURE_KITTY_GRAPHICS | FEATURE_ITERM_IMAGES)) != 0) {
        out(w, "\n  images: ");
        text_words(w, images, t.features);
        any = true;
    }
    out(w, "%s\n", any ? "" : " none beyond text, controls and the cursor");
}

}  // namespace

void write_summary(Tally& t, LineWriter& w) {
    // The used slots to the front, in the order of their keys: by kind,
    // then by what they name.
    std::size_t n = 0;
    for (std::size_t i = 0; i < TALLY_SLOTS; ++i) {
        if (t.slots[i].key != 0) t.slots[n++] = t.slots[i];
    }
    std::sort(t.slots, t.slots + n,
              [](const TallyRow& a, const TallyRow& b) { return a.key < b.key; });
    if (t.format == SUMMARY_JSON) {
        write_json(t, n, w);
    } else {
        write_table(t, n, w);
    }
    t.used = TALLY_SLOTS;  // the table is no longer searchable
}

}  // namespace vorsk
