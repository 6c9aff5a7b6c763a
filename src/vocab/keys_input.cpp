// What a terminal sends for keys, the mouse, focus and paste: the input
// direction of extended mode, where CSI A is the Up key and not a cursor
// movement. Modifiers are xterm's: the value is 1 plus a bit set of Shift
// (1), Alt (2), Ctrl (4) and Meta (8); kitty's reports add Super, Hyper,
// Caps Lock and Num Lock.
#include "vocab/keys_input.h"

#include <cstdio>
#include <cstring>

#include "parse/params.h"

namespace vorsk {
namespace {

// "" for none, else " with Shift+Ctrl" and the like.
struct Modifiers {
    char text[96] = "";
};

Modifiers modifiers_of(std::uint32_t value, bool kitty) {
    Modifiers m;
    if (value <= 1) return m;
    const std::uint32_t bits = value - 1;
    static constexpr const char* xterm_names[] = {"Shift", "Alt", "Ctrl", "Meta"};
    static constexpr const char* kitty_names[] = {"Shift", "Alt",  "Ctrl",      "Super",
                                                  "Hyper", "Meta", "Caps Lock", "Num Lock"};
    std::size_t n = std::snprintf(m.text, sizeof m.text, " with");
    const std::size_t count = kitty ? std::size(kitty_names) : std::size(xterm_names);
    bool first = true;
    for (std::size_t i = 0; i < count; ++i) {
        if ((bits & (1u << i)) == 0) continue;
        n += static_cast<std::size_t>(std::snprintf(m.text + n, sizeof m.text - n, "%s%s",
                                                    first ? " " : "+",
                                                    kitty ? kitty_names[i] : xterm_names[i]));
        first = false;
    }
    return m;
}

const char* cursor_key(std::uint8_t final_byte) {
    switch (final_byte) {
        case 'A': return "Up";
        case 'B': return "Down";
        case 'C': return "Right";
        case 'D': return "Left";
        case 'H': return "Home";
        case 'F': return "End";
        case 'E': return "Begin (keypad 5)";
        case 'P': return "F1";
        case 'Q': return "F2";
        case 'R': return "F3";
        case 'S': return "F4";
        default: return nullptr;
    }
}

// The keys of CSI n ~, by n.
const char* tilde_key(std::uint32_t n) {
    switch (n) {
        case 1: return "Home";
        case 2: return "Insert";
        case 3: return "Delete";
        case 4: return "End";
        case 5: return "Page Up";
        case 6: return "Page Down";
        case 7: return "Home";
        case 8: return "End";
        case 11: return "F1";
        case 12: return "F2";
        case 13: return "F3";
        case 14: return "F4";
        case 15: return "F5";
        case 17: return "F6";
        case 18: return "F7";
        case 19: return "F8";
        case 20: return "F9";
        case 21: return "F10";
        case 23: return "F11";
        case 24: return "F12";
        case 25: return "F13";
        case 26: return "F14";
        case 28: return "F15";
        case 29: return "F16";
        case 31: return "F17";
        case 32: return "F18";
        case 33: return "F19";
        case 34: return "F20";
        default: return nullptr;
    }
}

// A key's Unicode code point as kitty and modifyOtherKeys report it.
struct KeyName {
    char text[24] = "";
};

KeyName key_name(std::uint32_t code) {
    KeyName k;
    switch (code) {
        case 9: std::snprintf(k.text, sizeof k.text, "Tab"); return k;
        case 13: std::snprintf(k.text, sizeof k.text, "Enter"); return k;
        case 27: std::snprintf(k.text, sizeof k.text, "Escape"); return k;
        case 32: std::snprintf(k.text, sizeof k.text, "Space"); return k;
        case 127: std::snprintf(k.text, sizeof k.text, "Backspace"); return k;
        default: break;
    }
    if (code > 32 && code < 127) {
        std::snprintf(k.text, sizeof k.text, "\"%c\"", static_cast<char>(code));
    } else {
        std::snprintf(k.text, sizeof k.text, "U+%04X", code);
    }
    return k;
}

const char* mouse_button(std::uint32_t b) {
    if (b & 64) {
        static constexpr const char* wheel[] = {"wheel up", "wheel down", "wheel left",
                                                "wheel right"};
        return wheel[b & 3];
    }
    static constexpr const char* buttons[] = {"left button", "middle button", "right button",
                                              "no button"};
    return buttons[b & 3];
}

// SGR mouse reports and X10 reports: the button byte's bits.
void describe_mouse(LineWriter& w, std::uint32_t b, std::uint32_t x, std::uint32_t y,
                    const char* action, const char* encoding) {
    char mods[48] = "";
    std::size_t n = 0;
    if (b & 4) n += static_cast<std::size_t>(std::snprintf(mods + n, sizeof mods - n, " Shift"));
    if (b & 8) n += static_cast<std::size_t>(std::snprintf(mods + n, sizeof mods - n, " Alt"));
    if (b & 16) n += static_cast<std::size_t>(std::snprintf(mods + n, sizeof mods - n, " Ctrl"));
    const bool motion = (b & 32) != 0;
    print_description_line(w, "(Xterm) Mouse: %s %s at column %u, row %u%s%s (%s).",
                           mouse_button(b),
                           (b & 64) != 0 ? "turned"
                           : motion      ? "moved"
                                         : action,
                           x, y, n != 0 ? ", with" : "", mods, encoding);
}

// CSI n ~ and its forms: bracketed paste, xterm's modified keys, the
// editing and function keys.
bool describe_tilde_key(const Sequence& s, LineWriter& w) {
    const std::uint32_t n = sequence_param(s, 0, 0);
    const std::uint32_t mods = sequence_param(s, 1, 1);
    if (n == 200 || n == 201) {
        print_label_line(w, "%s: %s", "PASTE", "BRACKETED PASTE");
        print_description_line(
            w, "%s", n == 200 ? "(Xterm) Pasted text begins." : "(Xterm) Pasted text ends.");
        return true;
    }
    if (n == 27 && s.n_params >= 3) {
        print_label_line(w, "%s: %s", "KEY", "MODIFIED KEY");
        print_description_line(w, "(Xterm) The %s key%s.", key_name(sequence_param(s, 2, 0)).text,
                               modifiers_of(mods, false).text);
        return true;
    }
    if (const char* key = tilde_key(n)) {
        print_label_line(w, "%s: %s", "KEY", "EDITING OR FUNCTION KEY");
        print_description_line(w, "The %s key%s.", key, modifiers_of(mods, false).text);
        return true;
    }
    return false;
}

// kitty: key[:shifted[:base]] ; modifiers[:event] ; text[:text...]
bool describe_kitty_key(const Sequence& s, LineWriter& w) {
    ParamGroups groups(s);
    const ParamGroup keys = groups.group();
    const std::uint32_t key = keys.at(0), shifted = keys.at(1), base = keys.at(2);
    groups.next();
    const std::uint32_t mods = groups.group().at(0, 1);
    const std::uint32_t event = groups.group().at(1, 1);
    groups.next();
    const ParamGroup text_group = groups.group();
    static constexpr const char* events[] = {"", "pressed", "repeated", "released"};
    print_label_line(w, "%s: %s", "KEY", "KITTY KEY REPORT");
    print_description_line(w, "(kitty) The %s key%s, %s.", key_name(key).text,
                           modifiers_of(mods, true).text,
                           event >= 1 && event <= 3 ? events[event] : "with an unknown event");
    if (shifted != 0)
        print_description_line(w, "(kitty) With Shift it gives %s.", key_name(shifted).text);
    if (base != 0)
        print_description_line(w, "(kitty) On a US layout it is %s.", key_name(base).text);
    if (text_group.n == 0) return true;
    // The text the key makes, as code points after ";".
    char text[64];
    std::size_t n = 0;
    for (std::size_t i = 0; i < text_group.n && n + 8 < sizeof text; ++i) {
        const std::uint32_t cp = text_group.at(i);
        if (cp >= 0x20 && cp < 0x7f) {
            text[n++] = static_cast<char>(cp);
        } else {
            n += static_cast<std::size_t>(std::snprintf(text + n, sizeof text - n, "<U+%04X>", cp));
        }
    }
    text[n] = '\0';
    print_description_line(w, "(kitty) The key's text is \"%s\".", text);
    return true;
}

// CSI row ; column R: a cursor position report, or F3 with modifiers, as
// xterm sends it (row 1, the modifiers' value 2 to 16). A request for the
// position sent before makes it the report; without one it reads as the
// likelier of the two, and says it may be the other.
void describe_position_or_f3(const Sequence& s, LineWriter& w, Queries* queries) {
    const std::uint32_t row = sequence_param(s, 0, 1), column = sequence_param(s, 1, 1);
    const bool asked = take_answer(queries, QUERY_POSITION);
    const bool may_be_key = s.n_params <= 2 && column <= 16;
    const Modifiers mods = modifiers_of(column, false);
    if (!asked && may_be_key && row == 1) {
        print_label_line(w, "%s: %s", "KEY", "CURSOR OR FUNCTION KEY");
        print_description_line(w, "The F3 key%s.", mods.text);
        print_description_line(w, "Or a cursor position report (row %u, column %u): nothing asked.",
                               row, column);
        return;
    }
    print_label_line(w, "%s: %s", "CPR", "CURSOR POSITION REPORT");
    print_description_line(w, "The cursor is at row %u, column %u%s", row, column,
                           asked ? ": the answer to the request for it." : ".");
    if (!asked && may_be_key) {
        print_description_line(w, "Or the F3 key%s: nothing asked for the position.", mods.text);
    }
}

}  // namespace

bool describe_key_sequence(const Sequence& s, LineWriter& w, Queries* queries) {
    if (s.kind != CSI_SEQUENCE || s.n_intermediates != 0) return false;
    const auto param = [&](std::size_t i, std::uint32_t fallback) {
        return sequence_param(s, i, fallback);
    };
    const std::uint8_t f = s.final_byte;
    if (s.marker == '<' && (f == 'M' || f == 'm')) {
        print_label_line(w, "%s: %s", "SGR MOUSE", "MOUSE REPORT");
        describe_mouse(w, param(0, 0), param(1, 0), param(2, 0), f == 'M' ? "pressed" : "released",
                       "SGR encoding");
        return true;
    }
    if (s.marker != 0) return false;
    // urxvt's decimal mouse report (mode 1015): the button as X10 has it.
    if (f == 'M' && s.n_params == 3) {
        print_label_line(w, "%s: %s", "URXVT MOUSE", "MOUSE REPORT");
        const std::uint32_t b = param(0, 32) >= 32 ? param(0, 32) - 32 : 0;
        describe_mouse(w, b, param(1, 0), param(2, 0), (b & 3) == 3 ? "released" : "pressed",
                       "urxvt encoding");
        return true;
    }
    if (f == 'R' && s.n_params >= 1 && s.params[0].present) {
        describe_position_or_f3(s, w, queries);
        return true;
    }
    if (const char* key = cursor_key(f); key != nullptr && (s.n_params <= 2)) {
        print_label_line(w, "%s: %s", "KEY", "CURSOR OR FUNCTION KEY");
        print_description_line(w, "The %s key%s.", key, modifiers_of(param(1, 1), false).text);
        return true;
    }
    switch (f) {
        case '~': return describe_tilde_key(s, w);
        case 'u': return describe_kitty_key(s, w);
        case 'Z':
            print_label_line(w, "%s: %s", "KEY", "BACK TAB");
            print_description_line(w, "The Tab key with Shift.");
            return true;
        case 'I':
        case 'O':
            if (s.n_params > 1 || s.params[0].present) return false;
            print_label_line(w, "%s: %s", "FOCUS", f == 'I' ? "FOCUS IN" : "FOCUS OUT");
            print_description_line(w, "%s",
                                   f == 'I' ? "(Xterm) The terminal gained the focus."
                                            : "(Xterm) The terminal lost the focus.");
            return true;
        default: return false;
    }
}

void describe_alt_key(LineWriter& w, std::uint8_t c) {
    print_label_line(w, "%s: %s", "KEY", "ALT KEY");
    if (c == 0x7f) {
        print_description_line(w, "Alt+Backspace.");
    } else if (c == ' ') {
        print_description_line(w, "Alt+Space.");
    } else {
        print_description_line(w, "Alt+%c.", c);
    }
}

void describe_ss3_key(LineWriter& w, std::uint8_t c) {
    print_label_line(w, "%s: %s", "SS3", "SINGLE-SHIFT THREE");
    if (const char* key = cursor_key(c)) {
        print_description_line(w, "The %s key (application mode).", key);
    } else if (c >= 'j' && c <= 'y') {
        static constexpr const char keypad[] = "*+,-./0123456789";
        print_description_line(w, "The keypad %c key (application mode).", keypad[c - 'j']);
    } else if (c == 'M') {
        print_description_line(w, "The keypad Enter key (application mode).");
    }
}

void describe_x10_mouse(LineWriter& w, std::uint32_t b, std::uint32_t x, std::uint32_t y,
                        bool utf8) {
    print_label_line(w, "%s: %s", "X10 MOUSE", "MOUSE REPORT");
    const std::uint32_t button = b >= 32 ? b - 32u : 0u;
    describe_mouse(w, button, x >= 32 ? x - 32u : 0u, y >= 32 ? y - 32u : 0u,
                   (button & 3) == 3 ? "released" : "pressed",
                   utf8 ? "UTF-8 encoding" : "X10 encoding");
}

}  // namespace vorsk
