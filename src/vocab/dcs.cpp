// Descriptions of device control strings: DCS, parameters, intermediates,
// a final byte and the string's data. The parameters' private marker, the
// intermediates and the final select the function; DEC defined the early
// ones, xterm and tmux added theirs.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "vocab/fields.h"
#include "vocab/strings.h"

namespace vorsk {
namespace {

using std::string_view;

constexpr char ESC = 0x1b;

// The head of a device control string, split after the grammar of a
// control sequence; `data` is what follows the final byte.
struct DcsHeader {
    string_view params;
    string_view intermediates;
    char final = 0;
    string_view data;
    std::size_t data_offset = 0;  // where data begins in the payload
};

bool parse_header(string_view text, DcsHeader& h) {
    std::size_t i = 0;
    while (i < text.size() && text[i] >= 0x30 && text[i] <= 0x3f) ++i;
    std::size_t j = i;
    while (j < text.size() && text[j] >= 0x20 && text[j] <= 0x2f) ++j;
    if (j >= text.size() || text[j] < 0x40 || text[j] > 0x7e) return false;
    h.params = text.substr(0, i);
    h.intermediates = text.substr(i, j - i);
    h.final = text[j];
    h.data = text.substr(j + 1);
    h.data_offset = j + 1;
    return true;
}

// Describers read the kept head; a longer string is described in part.
void note_cut_head(const ControlString& s, LineWriter& w) {
    if (s.whole()) return;
    print_description_line(w, "Only the first %zu of its %" PRIu64 " bytes are described.", s.kept,
                           s.length);
}

// The settings DECRQSS asks for, by the final bytes (and intermediates)
// of the control function that sets them.
struct Setting {
    string_view final;
    const char* mnemonic;
    const char* name;
};

constexpr Setting settings[] = {
    {"m", "SGR", "graphic rendition"},          {"\"p", "DECSCL", "conformance level"},
    {" q", "DECSCUSR", "cursor style"},         {"\"q", "DECSCA", "character protection attribute"},
    {"r", "DECSTBM", "top and bottom margins"}, {"s", "DECSLRM", "left and right margins"},
    {"t", "DECSLPP", "lines per page"},         {"$|", "DECSCPP", "columns per page"},
    {"$}", "DECSASD", "active status display"}, {"$~", "DECSSDT", "status display type"},
    {"*|", "DECSNLS", "lines per screen"},      {"*x", "DECSACE", "attribute change extent"},
};

const Setting* setting_named(string_view pt) {
    for (const Setting& s : settings) {
        if (s.final == pt) return &s;
    }
    return nullptr;
}

// A report is the setting's parameters and then its final bytes; the
// longest final that ends the report names it.
const Setting* setting_reported(string_view report) {
    const Setting* found = nullptr;
    for (const Setting& s : settings) {
        if (report.ends_with(s.final) && (found == nullptr || s.final.size() > found->final.size()))
            found = &s;
    }
    return found;
}

// DCS $ q Pt: request the setting whose control function ends in Pt.
void describe_decrqss(const ControlString& s, const DcsHeader& h, LineWriter& w) {
    const Setting* setting = setting_named(h.data);
    if (setting != nullptr) {
        print_description_line(w, "(DEC) Request the current setting of %s (%s).",
                               setting->mnemonic, setting->name);
    } else if (h.data.empty()) {
        print_description_line(w, "(DEC) Request a setting, but none is named.");
    } else {
        print_description_line(w, "(DEC) Request the setting named \"%s\", which is not known.",
                               shown(h.data).text);
    }
    note_cut_head(s, w);
}

// DCS Ps $ r Pt: the answer, 1 for a request understood (as xterm and
// tmux answer), 0 for one that was not.
void describe_decrpss(const ControlString& s, const DcsHeader& h, LineWriter& w) {
    std::uint32_t status = 0;
    if (h.params.empty()) {
        print_description_line(
            w, "(DEC) Report a setting without saying whether the request was valid.");
    } else if (!parse_number(h.params, status) || status > 1) {
        print_description_line(
            w, "(DEC) Report a setting with the status \"%s\", which is not defined.",
            shown(h.params).text);
    } else if (status == 0) {
        print_description_line(w, "(DEC) Report that the requested setting is not valid.");
    } else if (const Setting* setting = setting_reported(h.data)) {
        const string_view value = h.data.substr(0, h.data.size() - setting->final.size());
        if (value.empty()) {
            print_description_line(
                w, "(DEC) Report that %s (%s) is at its default, with no parameters.",
                setting->mnemonic, setting->name);
        } else {
            print_description_line(w, "(DEC) Report that %s (%s) is %s.", setting->mnemonic,
                                   setting->name, shown(value).text);
        }
    } else {
        print_description_line(w, "(DEC) Report the setting \"%s\", of no known control function.",
                               shown(h.data).text);
    }
    note_cut_head(s, w);
}

// What some capabilities that terminals are asked for mean.
struct Capability {
    string_view name;
    const char* meaning;
};

constexpr Capability capabilities[] = {
    {"TN", "the terminal's name"},
    {"Co", "the number of colors"},
    {"colors", "the number of colors"},
    {"RGB", "direct color"},
};

const char* capability_meaning(string_view name) {
    for (const Capability& c : capabilities) {
        if (c.name == name) return c.meaning;
    }
    return nullptr;
}

// A capability name as xterm has it: hexadecimal; it decodes into out.
bool decode_name(string_view hex, char (&out)[STRING_HEAD_SIZE / 2], string_view& name) {
    bool valid = true;
    const std::size_t n = hex_decode(out, sizeof out, hex, valid);
    name = {out, n};
    return valid && !hex.empty();
}

void print_capability(LineWriter& w, const char* what, string_view name) {
    const char* meaning = capability_meaning(name);
    print_description_line(w, "(Xterm) %s the terminfo capability \"%s\"%s%s%s.", what,
                           shown(name).text, meaning != nullptr ? " (" : "",
                           meaning != nullptr ? meaning : "", meaning != nullptr ? ")" : "");
}

void print_bad_name(LineWriter& w, string_view hex) {
    if (hex.empty()) {
        print_description_line(w, "(Xterm) A capability name is empty.");
    } else {
        print_description_line(w, "(Xterm) The capability name \"%s\" is not valid hexadecimal.",
                               shown(hex).text);
    }
}

// DCS + q name;name...: each name in hex.
void describe_xtgettcap(const ControlString& s, const DcsHeader& h, LineWriter& w) {
    const std::size_t n = count_fields(h.data);
    for (std::size_t i = 0; i < n; ++i) {
        const string_view hex = field(h.data, i);
        char decoded[STRING_HEAD_SIZE / 2];
        string_view name;
        if (decode_name(hex, decoded, name)) {
            print_capability(w, "Request", name);
        } else {
            print_bad_name(w, hex);
        }
    }
    note_cut_head(s, w);
}

// DCS 1 + r name=value;...: the values found; DCS 0 + r [name]: not found.
void describe_xtgettcap_reply(const ControlString& s, const DcsHeader& h, LineWriter& w) {
    std::uint32_t status = 0;
    if (h.params.empty()) {
        print_description_line(
            w, "(Xterm) Report capabilities without saying whether they were found.");
        return;
    }
    if (!parse_number(h.params, status) || status > 1) {
        print_description_line(
            w, "(Xterm) Report capabilities with the status \"%s\", which is not defined.",
            shown(h.params).text);
        return;
    }
    if (status == 0) {
        char decoded[STRING_HEAD_SIZE / 2];
        string_view name;
        if (h.data.empty()) {
            print_description_line(w, "(Xterm) Report that the requested capability is not known.");
        } else if (decode_name(field(h.data, 0), decoded, name)) {
            print_description_line(w, "(Xterm) Report that the capability \"%s\" is not known.",
                                   shown(name).text);
        } else {
            print_bad_name(w, field(h.data, 0));
        }
        note_cut_head(s, w);
        return;
    }
    const std::size_t n = count_fields(h.data);
    for (std::size_t i = 0; i < n; ++i) {
        const string_view pair = field(h.data, i);
        const std::size_t equals = pair.find('=');
        const string_view hex_name = pair.substr(0, equals);
        char decoded_name[STRING_HEAD_SIZE / 2];
        string_view name;
        if (!decode_name(hex_name, decoded_name, name)) {
            print_bad_name(w, hex_name);
            continue;
        }
        const Shown shown_name = shown(name);
        if (equals == string_view::npos) {
            print_description_line(
                w, "(Xterm) Report the terminfo capability \"%s\", without a value.",
                shown_name.text);
            continue;
        }
        const string_view hex_value = pair.substr(equals + 1);
        char decoded_value[STRING_HEAD_SIZE / 2];
        bool valid = true;
        const std::size_t k = hex_decode(decoded_value, sizeof decoded_value, hex_value, valid);
        if (!valid) {
            print_description_line(w,
                                   "(Xterm) Report the terminfo capability \"%s\": its value "
                                   "\"%s\" is not valid hexadecimal.",
                                   shown_name.text, shown(hex_value).text);
            continue;
        }
        const char* meaning = capability_meaning(name);
        print_description_line(w, "(Xterm) Report the terminfo capability \"%s\"%s%s%s as \"%s\".",
                               shown_name.text, meaning != nullptr ? " (" : "",
                               meaning != nullptr ? meaning : "", meaning != nullptr ? ")" : "",
                               shown({decoded_value, k}).text);
    }
    note_cut_head(s, w);
}

// DCS > | text: the answer to XTVERSION (CSI > q).
void describe_xtversion(const ControlString& s, const DcsHeader& h, LineWriter& w) {
    if (h.data.empty()) {
        print_description_line(w, "(Xterm) Report an empty terminal name and version.");
    } else {
        print_description_line(w, "(Xterm) Report the terminal name and version \"%s\".",
                               shown(h.data).text);
    }
    note_cut_head(s, w);
}

// The pixel aspect ratio (height to width) that sixel's first parameter selects.
const char* sixel_aspect(std::uint32_t p1) {
    switch (p1) {
        case 2: return "5:1";
        case 3:
        case 4: return "3:1";
        case 7:
        case 8:
        case 9: return "1:1";
        default: return "2:1";  // 0, 1, 5, 6 and any other value
    }
}

// The distinct colour registers a sixel image defines with "#Pc;Pu;Px;Py;Pz".
// The shortest definition takes 10 bytes, so the head holds fewer than this.
constexpr std::size_t MAX_REGISTERS = STRING_HEAD_SIZE / 8;

std::size_t count_color_definitions(string_view data) {
    std::uint32_t seen[MAX_REGISTERS];
    std::size_t n_seen = 0;
    for (std::size_t at = data.find('#'); at != string_view::npos; at = data.find('#', at + 1)) {
        const std::size_t end = data.find_first_not_of("0123456789;", at + 1);
        const string_view fields =
            data.substr(at + 1, end == string_view::npos ? string_view::npos : end - at - 1);
        std::uint32_t reg = 0;
        // "#Pc" alone selects a register; five fields define one.
        if (count_fields(fields) != 5 || !parse_number(field(fields, 0), reg)) continue;
        bool known = false;
        for (std::size_t i = 0; i < n_seen; ++i) known = known || seen[i] == reg;
        if (!known && n_seen < MAX_REGISTERS) seen[n_seen++] = reg;
    }
    return n_seen;
}

// DCS P1 ; P2 ; P3 q data: a sixel image.
void describe_sixel(const ControlString& s, const DcsHeader& h, LineWriter& w) {
    std::uint32_t p[3] = {0, 0, 0};
    bool given[3] = {false, false, false};
    for (std::size_t i = 0; i < 3; ++i) given[i] = parse_number(field(h.params, i), p[i]);
    print_description_line(
        w, "(DEC) Draw a sixel image with a pixel aspect ratio of %s (height to width).",
        sixel_aspect(p[0]));
    if (p[1] == 1) {
        print_description_line(w, "(DEC) Pixels of value 0 keep the color under them.");
    } else if (p[1] == 0 || p[1] == 2) {
        print_description_line(w, "(DEC) Pixels of value 0 are drawn in the background color.");
    } else {
        print_description_line(w, "(DEC) The background selector %u is not defined.", p[1]);
    }
    if (given[2])
        print_description_line(w, "(DEC) The horizontal grid size is %u, which terminals ignore.",
                               p[2]);

    // Raster attributes: "Pan;Pad;Ph;Pv, before any pixel.
    const string_view data = h.data;
    if (data.starts_with('"')) {
        const std::size_t end = data.find_first_not_of("0123456789;", 1);
        const string_view raster =
            data.substr(1, end == string_view::npos ? string_view::npos : end - 1);
        std::uint32_t r[4] = {0, 0, 0, 0};
        const std::size_t n = count_fields(raster);
        bool valid = n == 2 || n == 4;
        for (std::size_t i = 0; i < n && valid; ++i) valid = parse_number(field(raster, i), r[i]);
        if (raster.empty()) {
            print_description_line(w, "(DEC) The raster attributes are empty.");
        } else if (!valid) {
            print_description_line(
                w, "(DEC) The raster attributes \"%s\" are not two or four numbers.",
                shown(raster).text);
        } else if (n == 2) {
            print_description_line(
                w, "(DEC) The raster attributes set a pixel aspect ratio of %u:%u.", r[0], r[1]);
        } else {
            print_description_line(w,
                                   "(DEC) The raster attributes set a pixel aspect ratio of %u:%u "
                                   "and a size of %u by %u pixels.",
                                   r[0], r[1], r[2], r[3]);
        }
    }

    const std::size_t registers = count_color_definitions(data);
    const char* plural = registers == 1 ? "" : "s";
    if (!s.whole()) {
        print_description_line(
            w, "(DEC) The first %zu bytes define %zu color register%s; the rest was not examined.",
            s.kept, registers, plural);
    } else if (registers == 0) {
        print_description_line(w, "(DEC) The image defines no color registers.");
    } else {
        print_description_line(w, "(DEC) The image defines %zu color register%s.", registers,
                               plural);
    }
    const std::uint64_t pixels = s.length - h.data_offset;
    if (pixels == 0) {
        print_description_line(w, "(DEC) The image has no pixel data.");
    } else {
        print_description_line(w, "(DEC) The pixel data holds %" PRIu64 " byte%s.", pixels,
                               pixels == 1 ? "" : "s");
    }
}

// The DEC function-key codes that DECUDK defines keys by.
struct FunctionKey {
    std::uint32_t code;
    const char* name;
};

constexpr FunctionKey function_keys[] = {
    {11, "F1"},  {12, "F2"},  {13, "F3"},  {14, "F4"},  {15, "F5"},  {17, "F6"},  {18, "F7"},
    {19, "F8"},  {20, "F9"},  {21, "F10"}, {23, "F11"}, {24, "F12"}, {25, "F13"}, {26, "F14"},
    {28, "F15"}, {29, "F16"}, {31, "F17"}, {32, "F18"}, {33, "F19"}, {34, "F20"},
};

const char* function_key(std::uint32_t code) {
    for (const FunctionKey& k : function_keys) {
        if (k.code == code) return k.name;
    }
    return nullptr;
}

// DCS Pc ; Pl | key/hex;key/hex...: user-defined keys.
void describe_decudk(const ControlString& s, const DcsHeader& h, LineWriter& w) {
    std::uint32_t clear = 0;
    std::uint32_t lock = 0;
    const bool has_clear = parse_number(field(h.params, 0), clear);
    const bool has_lock = parse_number(field(h.params, 1), lock);
    if (!has_clear || clear == 0) {
        print_description_line(w, "(DEC) Clear every user-defined key first.");
    } else if (clear == 1) {
        print_description_line(w, "(DEC) Clear only the keys defined here.");
    } else {
        print_description_line(w, "(DEC) The clearing selector %u is not defined.", clear);
    }
    if (!has_lock || lock == 0) {
        print_description_line(w, "(DEC) Lock the keys against redefinition.");
    } else if (lock == 1) {
        print_description_line(w, "(DEC) Leave the keys unlocked.");
    } else {
        print_description_line(w, "(DEC) The locking selector %u is not defined.", lock);
    }
    const std::size_t n = h.data.empty() ? 0 : count_fields(h.data);
    for (std::size_t i = 0; i < n; ++i) {
        const string_view definition = field(h.data, i);
        const std::size_t slash = definition.find('/');
        std::uint32_t code = 0;
        if (slash == string_view::npos || !parse_number(definition.substr(0, slash), code)) {
            print_description_line(
                w, "(DEC) The key definition \"%s\" is not a key number, \"/\" and a string.",
                shown(definition).text);
            continue;
        }
        char key[40];
        const char* name = function_key(code);
        if (name != nullptr) {
            std::snprintf(key, sizeof key, "%s", name);
        } else {
            std::snprintf(key, sizeof key, "key %u (no function key)", code);
        }
        const string_view hex = definition.substr(slash + 1);
        char decoded[STRING_HEAD_SIZE / 2];
        bool valid = true;
        const std::size_t k = hex_decode(decoded, sizeof decoded, hex, valid);
        if (!valid) {
            print_description_line(w, "(DEC) The string for %s, \"%s\", is not valid hexadecimal.",
                                   key, shown(hex).text);
        } else if (k == 0) {
            print_description_line(w, "(DEC) Clear the definition of %s.", key);
        } else {
            print_description_line(w, "(DEC) Define %s to send \"%s\".", key,
                                   shown({decoded, k}).text);
        }
    }
    if (n == 0) print_description_line(w, "(DEC) Define no keys.");
    note_cut_head(s, w);
}

// DCS tmux; payload: what tmux hands to the terminal outside it, every ESC
// doubled. What it carries is decoded after this description.
void describe_tmux(const ControlString& s, LineWriter& w) {
    const string_view carried = s.text().substr(5);
    std::uint64_t doubled = 0;
    for (std::size_t i = 0; i + 1 < carried.size(); ++i) {
        if (carried[i] == ESC && carried[i + 1] == ESC) {
            ++doubled;
            ++i;
        }
    }
    const std::uint64_t payload = s.length - 5;
    if (!s.whole()) {
        print_description_line(
            w, "(tmux) Pass %" PRIu64 " bytes, their ESCs doubled, through to the outer terminal.",
            payload);
        print_description_line(w,
                               "(tmux) The payload is longer than the %zu bytes examined: what it "
                               "carries is not decoded.",
                               s.kept);
    } else if (doubled == 0) {
        print_description_line(w, "(tmux) Pass %" PRIu64 " byte%s through to the outer terminal.",
                               payload, payload == 1 ? "" : "s");
    } else {
        print_description_line(w,
                               "(tmux) Pass %" PRIu64
                               " bytes through to the outer terminal (%" PRIu64
                               " with every ESC doubled).",
                               payload - doubled, payload);
    }
}

using Describer = void (*)(const ControlString&, const DcsHeader&, LineWriter&);

// A device control string's function, by its private marker (0 for
// none), intermediates and final byte.
struct DcsFunction {
    char marker;
    string_view intermediates;
    char final;
    const char* selector;
    const char* label;
    Describer describe;
};

constexpr DcsFunction dcs_functions[] = {
    {0, "$", 'q', "$ q", "DECRQSS: REQUEST SELECTION OR SETTING", describe_decrqss},
    {0, "$", 'r', "$ r", "DECRPSS: REPORT SELECTION OR SETTING", describe_decrpss},
    {0, "+", 'q', "+ q", "XTGETTCAP: REQUEST TERMINFO CAPABILITY", describe_xtgettcap},
    {0, "+", 'r', "+ r", "XTGETTCAP: REPORT TERMINFO CAPABILITY", describe_xtgettcap_reply},
    {'>', "", '|', "> |", "XTVERSION: REPORT TERMINAL NAME AND VERSION", describe_xtversion},
    {0, "", 'q', "q", "SIXEL GRAPHICS", describe_sixel},
    {0, "", '|', "|", "DECUDK: USER DEFINED KEYS", describe_decudk},
};

const DcsFunction* dcs_function(const DcsHeader& h) {
    const char marker = !h.params.empty() && h.params[0] >= 0x3c ? h.params[0] : 0;
    // Past the marker only numbers and ";" are parameters these functions take.
    const string_view numbers = marker != 0 ? h.params.substr(1) : h.params;
    if (numbers.find_first_not_of("0123456789;") != string_view::npos) return nullptr;
    for (const DcsFunction& f : dcs_functions) {
        if (f.marker == marker && f.intermediates == h.intermediates && f.final == h.final)
            return &f;
    }
    return nullptr;
}

}  // namespace

const char* dcs_label(string_view text) {
    if (text.starts_with("tmux;")) return "TMUX PASS-THROUGH";
    DcsHeader h;
    const DcsFunction* f = parse_header(text, h) ? dcs_function(h) : nullptr;
    return f != nullptr ? f->label : nullptr;
}

void describe_dcs(const ControlString& s, LineWriter& w) {
    const string_view text = s.text();
    if (text.starts_with("tmux;")) {
        print_string_label(w, "DCS", "tmux", "TMUX PASS-THROUGH");
        describe_tmux(s, w);
        return;
    }
    DcsHeader h;
    const DcsFunction* f = parse_header(text, h) ? dcs_function(h) : nullptr;
    if (f == nullptr) {
        print_label_line(w, "%s: %s", "DCS", "DEVICE CONTROL STRING");
        return;
    }
    print_string_label(w, "DCS", f->selector, f->label);
    f->describe(s, h, w);
}

}  // namespace vorsk
