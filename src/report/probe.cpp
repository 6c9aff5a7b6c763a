#include "report/probe.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "report/raw_output.h"
#include "text/unicode.h"
#include "vocab/modes.h"

namespace vorsk {
namespace {

using std::string_view;

constexpr std::size_t MAX_NUMBERS = 32;
constexpr std::size_t MAX_MODES = 256;
constexpr std::size_t TEXT_SIZE = 128;

struct Text {
    char text[TEXT_SIZE] = {};
    bool present = false;
    void set(string_view s) {
        const std::size_t n = std::min(s.size(), sizeof text - 1);
        std::memcpy(text, s.data(), n);
        text[n] = '\0';
        present = true;
    }
};

struct ModeAnswer {
    std::uint32_t mode = 0;
    std::uint32_t state = 0;  // DECRPM: 0 not recognised, 1 set, 2 reset, 3 and 4 permanently
};

struct Capability {
    const char* name;
    Text value;
    bool answered = false;
    bool known = false;
};

// What the answers say.
struct Features {
    std::size_t answers = 0;
    std::uint32_t da1[MAX_NUMBERS] = {};
    std::size_t n_da1 = 0;
    bool has_da1 = false;
    std::uint32_t da2[3] = {};
    bool has_da2 = false;
    Text da3;
    Text version;
    ModeAnswer modes[MAX_MODES];
    std::size_t n_modes = 0;
    bool kitty_keyboard = false;
    std::uint32_t kitty_flags = 0;
    int modify_other_keys = -1;
    Capability caps[7] = {{"TN", {}, false, false},     {"Co", {}, false, false},
                          {"RGB", {}, false, false},    {"Smulx", {}, false, false},
                          {"Setulc", {}, false, false}, {"Sync", {}, false, false},
                          {"Ms", {}, false, false}};
    Text sgr, cursor_style;
    Text foreground, background, cursor_color;
    Text palette[4];
    int palette_index[4] = {0, 1, 7, 15};
    int scheme = 0;  // 1 dark, 2 light
    std::uint32_t area[2] = {}, cell[2] = {}, chars[2] = {};
    bool has_area = false, has_cell = false, has_chars = false;
    std::uint32_t positions[2] = {};  // the columns after the wide character and the emoji
    std::size_t n_positions = 0;
    bool kitty_graphics = false;
};

std::size_t numbers(string_view params, std::uint32_t* out, std::size_t max) {
    std::size_t n = 0;
    std::uint32_t v = 0;
    bool digits = false;
    for (const char c : params) {
        if (c >= '0' && c <= '9') {
            v = v * 10 + static_cast<std::uint32_t>(c - '0');
            digits = true;
        } else if (c == ';' || c == ':') {
            if (n < max) out[n++] = digits ? v : 0;
            v = 0;
            digits = false;
        }
    }
    if ((digits || !params.empty()) && n < max) out[n++] = v;
    return n;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hex-encoded text, decoded into out.
void unhex(string_view hex, Text& out) {
    char text[TEXT_SIZE];
    std::size_t n = 0;
    for (std::size_t i = 0; i + 1 < hex.size() && n + 1 < sizeof text; i += 2) {
        const int high = hex_value(hex[i]), low = hex_value(hex[i + 1]);
        if (high < 0 || low < 0) break;
        text[n++] = static_cast<char>(high << 4 | low);
    }
    out.set({text, n});
}

void control_sequence(Features& f, char marker, string_view params, char intermediate,
                      char final_byte) {
    std::uint32_t v[MAX_NUMBERS];
    const std::size_t n = numbers(params, v, MAX_NUMBERS);
    if (final_byte == 'c' && marker == '?') {
        f.has_da1 = true;
        f.n_da1 = n;
        std::copy(v, v + n, f.da1);
    } else if (final_byte == 'c' && marker == '>') {
        f.has_da2 = true;
        for (std::size_t i = 0; i < 3 && i < n; ++i) f.da2[i] = v[i];
    } else if (final_byte == 'y' && intermediate == '$' && marker == '?' && n >= 2) {
        if (f.n_modes < MAX_MODES) f.modes[f.n_modes++] = {v[0], v[1]};
    } else if (final_byte == 'u' && marker == '?') {
        f.kitty_keyboard = true;
        f.kitty_flags = n > 0 ? v[0] : 0;
    } else if (final_byte == 'm' && marker == '>' && n >= 1 && v[0] == 4) {
        f.modify_other_keys = n >= 2 ? static_cast<int>(v[1]) : 0;
    } else if (final_byte == 'n' && marker == '?' && n >= 2 && v[0] == 997) {
        f.scheme = static_cast<int>(v[1]);
    } else if (final_byte == 't' && marker == 0 && n >= 3) {
        std::uint32_t* pair = v[0] == 4   ? f.area
                              : v[0] == 6 ? f.cell
                              : v[0] == 8 ? f.chars
                                          : nullptr;
        if (pair != nullptr) {
            pair[0] = v[1];
            pair[1] = v[2];
            (v[0] == 4 ? f.has_area : v[0] == 6 ? f.has_cell : f.has_chars) = true;
        }
    } else if (final_byte == 'R' && marker == 0 && n == 2) {
        if (f.n_positions < 2) f.positions[f.n_positions++] = v[1];
    } else {
        return;
    }
    ++f.answers;
}

void device_string(Features& f, string_view payload) {
    if (payload.starts_with(">|")) {
        f.version.set(payload.substr(2));
    } else if (payload.starts_with("!|")) {
        f.da3.set(payload.substr(2));
    } else if (payload.starts_with("1+r") || payload.starts_with("0+r")) {
        const string_view body = payload.substr(3);
        const std::size_t equals = body.find('=');
        Text name;
        unhex(body.substr(0, equals), name);
        for (Capability& cap : f.caps) {
            if (std::strcmp(cap.name, name.text) != 0) continue;
            cap.answered = true;
            cap.known = payload[0] == '1';
            if (equals != string_view::npos) unhex(body.substr(equals + 1), cap.value);
        }
    } else if (payload.starts_with("1$r") || payload.starts_with("0$r")) {
        const string_view body = payload.substr(3);
        if (payload[0] == '1' && body.ends_with(" q")) {
            f.cursor_style.set(body);
        } else if (payload[0] == '1' && body.ends_with("m")) {
            f.sgr.set(body);
        }
    } else {
        return;
    }
    ++f.answers;
}

void operating_system_string(Features& f, string_view payload) {
    Text* target = nullptr;
    if (payload.starts_with("10;")) target = &f.foreground;
    if (payload.starts_with("11;")) target = &f.background;
    if (payload.starts_with("12;")) target = &f.cursor_color;
    if (target != nullptr) {
        target->set(payload.substr(3));
    } else if (payload.starts_with("4;")) {
        std::uint32_t v[2];
        if (numbers(payload.substr(2, payload.find(';', 2) - 2), v, 1) == 0) return;
        const std::size_t value = payload.find(';', 2);
        for (std::size_t i = 0; i < 4; ++i) {
            if (static_cast<std::uint32_t>(f.palette_index[i]) == v[0] &&
                value != string_view::npos)
                f.palette[i].set(payload.substr(value + 1));
        }
    } else {
        return;
    }
    ++f.answers;
}

// Reads the answers: control sequences, device control strings, OSC and
// APC, each to its end.
Features read_answers(const std::uint8_t* bytes, std::size_t n) {
    Features f;
    const auto text = [bytes](std::size_t from, std::size_t to) {
        return string_view(reinterpret_cast<const char*>(bytes) + from, to - from);
    };
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (bytes[i] != 0x1b) continue;
        const std::uint8_t kind = bytes[i + 1];
        if (kind == '[') {
            std::size_t j = i + 2;
            char marker = 0;
            if (j < n && std::strchr("<=>?", bytes[j]) != nullptr && bytes[j] != 0)
                marker = static_cast<char>(bytes[j++]);
            const std::size_t params = j;
            while (j < n && bytes[j] >= 0x30 && bytes[j] <= 0x3f) ++j;
            const std::size_t params_end = j;
            char intermediate = 0;
            while (j < n && bytes[j] >= 0x20 && bytes[j] <= 0x2f)
                intermediate = static_cast<char>(bytes[j++]);
            if (j < n && bytes[j] >= 0x40 && bytes[j] <= 0x7e) {
                control_sequence(f, marker, text(params, params_end), intermediate,
                                 static_cast<char>(bytes[j]));
                i = j;
            } else {
                i = j - 1;  // cut short: what stopped it is read again
            }
        } else if (kind == 'P' || kind == ']' || kind == '_') {
            std::size_t j = i + 2;
            std::size_t end = n;
            for (; j < n; ++j) {
                if (bytes[j] == 0x07) {
                    end = j;
                    break;
                }
                if (bytes[j] == 0x1b && j + 1 < n && bytes[j + 1] == '\\') {
                    end = j++;
                    break;
                }
            }
            const string_view payload = text(i + 2, end);
            if (kind == 'P') device_string(f, payload);
            if (kind == ']') operating_system_string(f, payload);
            if (kind == '_' && payload.starts_with("Gi=31;")) {
                f.kitty_graphics = payload.substr(6).starts_with("OK");
                ++f.answers;
            }
            i = j;
        }
    }
    return f;
}

bool da1_has(const Features& f, std::uint32_t value) {
    for (std::size_t i = 1; i < f.n_da1; ++i) {
        if (f.da1[i] == value) return true;
    }
    return false;
}

constexpr const char* mode_states[] = {"not recognised", "set", "reset", "permanently set",
                                       "permanently reset"};
const char* mode_state(std::uint32_t state) {
    return state < std::size(mode_states) ? mode_states[state] : "unknown";
}

// Whether a colour of the form rgb:RRRR/GGGG/BBBB is dark: its luma below
// half.
int darkness(const Text& color) {
    unsigned r = 0, g = 0, b = 0;
    if (!color.present || std::sscanf(color.text, "rgb:%x/%x/%x", &r, &g, &b) != 3) return -1;
    const char* slash = std::strchr(color.text, '/');
    const int digits = slash != nullptr ? static_cast<int>(slash - color.text) - 4 : 4;
    const double scale = static_cast<double>((1u << (4 * digits)) - 1);
    const double luma = (0.299 * r + 0.587 * g + 0.114 * b) / scale;
    return luma < 0.5 ? 1 : 0;
}

// The multiplexer that answered, where one did.
const char* multiplexer(const Features& f, const ProbeContext& c) {
    if (f.version.present && std::strncmp(f.version.text, "tmux", 4) == 0) return "tmux";
    if (f.has_da2 && f.da2[0] == 84) return "tmux";
    if (f.has_da2 && f.da2[0] == 83) return "screen";
    if (c.tmux != nullptr && *c.tmux != '\0') return "tmux";
    if (c.screen != nullptr && *c.screen != '\0') return "screen";
    return nullptr;
}

// The column after a character written at column 1 gives its width.
int measured(const Features& f, std::size_t i) {
    return i < f.n_positions ? static_cast<int>(f.positions[i]) - 1 : -1;
}

void write_text(LineWriter& w, const Features& f, const ProbeContext& c) {
    out(w, "Probe of the terminal on %s: %zu answers to %zu queries\n", c.device, f.answers,
        c.queries);
    if (const char* mux = multiplexer(f, c))
        out(w, "  %s answered: these are its answers, not those of the terminal around it\n", mux);
    out(w, "Terminal:\n");
    out(w, "  name: %s\n", f.version.present ? f.version.text : "(no XTVERSION answer)");
    for (const Capability& cap : f.caps) {
        if (std::strcmp(cap.name, "TN") == 0 && cap.known)
            out(w, "  terminfo name: %s\n", cap.value.text);
    }
    if (f.has_da1) {
        out(w, "  DA1:");
        for (std::size_t i = 0; i < f.n_da1; ++i) out(w, "%s%u", i == 0 ? " " : ";", f.da1[i]);
        out(w, "\n");
    } else {
        out(w, "  DA1: no answer\n");
    }
    if (f.has_da2) out(w, "  DA2: %u;%u;%u\n", f.da2[0], f.da2[1], f.da2[2]);
    if (f.da3.present) out(w, "  DA3: unit %s\n", f.da3.text);
    out(w, "Features:\n");
    const Capability& co = f.caps[1];
    const Capability& rgb = f.caps[2];
    out(w, "  colours: %s%s%s\n", co.known ? co.value.text : "(Co not answered)",
        co.known ? " colours" : "", rgb.known ? ", direct colour (RGB)" : "");
    for (const Capability& cap : f.caps) {
        if (std::strcmp(cap.name, "TN") == 0 || std::strcmp(cap.name, "Co") == 0) continue;
        out(w, "  capability %s: %s%s%s\n", cap.name,
            !cap.answered ? "not answered"
            : cap.known   ? "yes"
                          : "no",
            cap.known && cap.value.present ? " " : "",
            cap.known && cap.value.present ? cap.value.text : "");
    }
    const auto color_line = [&](const char* name, const Text& t) {
        if (t.present) out(w, "  %s: %s\n", name, t.text);
    };
    color_line("foreground", f.foreground);
    color_line("background", f.background);
    if (const int dark = darkness(f.background); dark >= 0)
        out(w, "  background is %s\n", dark ? "dark" : "light");
    color_line("cursor colour", f.cursor_color);
    for (std::size_t i = 0; i < 4; ++i) {
        if (f.palette[i].present)
            out(w, "  colour %d: %s\n", f.palette_index[i], f.palette[i].text);
    }
    if (f.scheme != 0) out(w, "  colour scheme: %s\n", f.scheme == 1 ? "dark" : "light");
    if (f.sgr.present) out(w, "  SGR now: %s\n", f.sgr.text);
    if (f.cursor_style.present) out(w, "  cursor style now: %s\n", f.cursor_style.text);
    for (std::size_t i = 0; i < f.n_modes; ++i) {
        const string_view name = mode_short_name(f.modes[i].mode, true);
        out(w, "  mode ?%u%s%.*s: %s\n", f.modes[i].mode, name.empty() ? "" : " ",
            static_cast<int>(name.size()), name.data(), mode_state(f.modes[i].state));
    }
    if (f.kitty_keyboard) {
        out(w, "  keyboard: kitty's protocol, flags %u\n", f.kitty_flags);
    } else {
        out(w, "  keyboard: no answer to kitty's protocol\n");
    }
    if (f.modify_other_keys >= 0) out(w, "  keyboard: modifyOtherKeys %d\n", f.modify_other_keys);
    out(w, "  graphics: sixel %s, kitty's %s\n", da1_has(f, 4) ? "yes" : "no",
        f.kitty_graphics ? "yes" : "no");
    out(w, "  clipboard: %s\n", da1_has(f, 52) || f.caps[6].known ? "yes" : "not declared");
    if (f.has_chars) out(w, "  size: %u lines, %u columns\n", f.chars[0], f.chars[1]);
    if (f.has_area) out(w, "  text area: %u by %u pixels\n", f.area[1], f.area[0]);
    if (f.has_cell) out(w, "  cell: %u by %u pixels\n", f.cell[1], f.cell[0]);
    const std::uint32_t chars[2] = {PROBE_WIDE, PROBE_EMOJI};
    for (std::size_t i = 0; i < 2; ++i) {
        const int width = measured(f, i);
        const int unicode = code_point_width(chars[i]);
        if (width < 0) {
            out(w, "  width of U+%04X: not measured\n", chars[i]);
        } else {
            out(w, "  width of U+%04X: %d columns, %s Unicode's %d\n", chars[i], width,
                width == unicode ? "as" : "not", unicode);
        }
    }
}

void json_text(LineWriter& w, const char* name, const Text& t) {
    out(w, ",\"%s\":", name);
    if (t.present) {
        json_string(w, t.text);
    } else {
        raw(w, "null");
    }
}

void write_json(LineWriter& w, const Features& f, const ProbeContext& c) {
    raw(w, "{\"device\":");
    json_string(w, c.device);
    out(w, ",\"answers\":%zu,\"queries\":%zu,\"multiplexer\":", f.answers, c.queries);
    if (const char* mux = multiplexer(f, c)) {
        json_string(w, mux);
    } else {
        raw(w, "null");
    }
    json_text(w, "version", f.version);
    raw(w, ",\"da1\":");
    if (f.has_da1) {
        for (std::size_t i = 0; i < f.n_da1; ++i) out(w, "%s%u", i == 0 ? "[" : ",", f.da1[i]);
        raw(w, f.n_da1 == 0 ? "[]" : "]");
    } else {
        raw(w, "null");
    }
    raw(w, ",\"capabilities\":{");
    for (std::size_t i = 0; i < std::size(f.caps); ++i) {
        const Capability& cap = f.caps[i];
        out(w, "%s\"%s\":", i == 0 ? "" : ",", cap.name);
        if (!cap.answered) {
            raw(w, "null");
        } else if (!cap.known) {
            raw(w, "false");
        } else {
            json_string(w, cap.value.present ? cap.value.text : "");
        }
    }
    raw(w, "}");
    json_text(w, "foreground", f.foreground);
    json_text(w, "background", f.background);
    const int dark = darkness(f.background);
    out(w, ",\"dark_background\":%s", dark < 0 ? "null" : dark ? "true" : "false");
    raw(w, ",\"modes\":{");
    for (std::size_t i = 0; i < f.n_modes; ++i)
        out(w, "%s\"%u\":\"%s\"", i == 0 ? "" : ",", f.modes[i].mode, mode_state(f.modes[i].state));
    raw(w, "}");
    out(w, ",\"kitty_keyboard\":%s", f.kitty_keyboard ? "true" : "false");
    out(w, ",\"modify_other_keys\":%d", f.modify_other_keys);
    out(w, ",\"sixel\":%s,\"kitty_graphics\":%s", da1_has(f, 4) ? "true" : "false",
        f.kitty_graphics ? "true" : "false");
    if (f.has_chars) out(w, ",\"lines\":%u,\"columns\":%u", f.chars[0], f.chars[1]);
    out(w, ",\"wide_width\":%d,\"emoji_width\":%d}\n", measured(f, 0), measured(f, 1));
}

}  // namespace

void write_probe_report(LineWriter& w, const std::uint8_t* answers, std::size_t n,
                        const ProbeContext& context) {
    const Features f = read_answers(answers, n);
    if (context.json) {
        write_json(w, f, context);
    } else {
        write_text(w, f, context);
    }
}

}  // namespace vorsk
