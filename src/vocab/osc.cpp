// Descriptions of operating system commands: OSC, a number, ";" and the
// command's text. The number selects the command; xterm defines most, and
// the others belong to the terminals named in their descriptions.
#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "vocab/fields.h"
#include "vocab/strings.h"

namespace vorsk {
namespace {

using std::string_view;

// xterm's dynamic colours, by OSC number - 10 (and reset number - 110).
constexpr const char* dynamic_colors[] = {
    "text foreground color",      "text background color",      "text cursor color",
    "pointer foreground color",   "pointer background color",   "Tektronix foreground color",
    "Tektronix background color", "highlight background color", "Tektronix cursor color",
    "highlight foreground color",
};
constexpr const char* dynamic_color_labels[] = {
    "TEXT FOREGROUND COLOR",      "TEXT BACKGROUND COLOR",      "TEXT CURSOR COLOR",
    "POINTER FOREGROUND COLOR",   "POINTER BACKGROUND COLOR",   "TEKTRONIX FOREGROUND COLOR",
    "TEKTRONIX BACKGROUND COLOR", "HIGHLIGHT BACKGROUND COLOR", "TEKTRONIX CURSOR COLOR",
    "HIGHLIGHT FOREGROUND COLOR",
};
constexpr const char* reset_color_labels[] = {
    "RESET TEXT FOREGROUND COLOR",      "RESET TEXT BACKGROUND COLOR",
    "RESET TEXT CURSOR COLOR",          "RESET POINTER FOREGROUND COLOR",
    "RESET POINTER BACKGROUND COLOR",   "RESET TEKTRONIX FOREGROUND COLOR",
    "RESET TEKTRONIX BACKGROUND COLOR", "RESET HIGHLIGHT BACKGROUND COLOR",
    "RESET TEKTRONIX CURSOR COLOR",     "RESET HIGHLIGHT FOREGROUND COLOR",
};
static_assert(std::size(dynamic_colors) == 10 && std::size(dynamic_color_labels) == 10 &&
              std::size(reset_color_labels) == 10);

// Each reset is named after its colour.
consteval bool reset_labels_follow() {
    for (std::size_t i = 0; i < std::size(dynamic_color_labels); ++i) {
        const string_view reset = reset_color_labels[i];
        if (!reset.starts_with("RESET ") || reset.substr(6) != dynamic_color_labels[i])
            return false;
    }
    return true;
}
static_assert(reset_labels_follow());

// OSC 5's special colours, by their number.
constexpr const char* special_colors[] = {"bold", "underline", "blink", "reverse", "italic"};

void describe_title(string_view text, LineWriter& w, const char* what) {
    print_description_line(w, "(Xterm) Set %s to \"%s\".", what, shown(text).text);
}

// OSC 4 ; c ; color [; c ; color ...]: set or query palette colours.
void describe_palette(string_view args, LineWriter& w) {
    const std::size_t n = count_fields(args);
    for (std::size_t i = 0; i + 1 < n || (i < n && n == 1 && !args.empty()); i += 2) {
        std::uint32_t index = 0;
        const string_view number = field(args, i);
        const string_view color = field(args, i + 1);
        if (!parse_number(number, index)) {
            print_description_line(w, "(Xterm) Palette color \"%s\" is not a number.",
                                   shown(number).text);
            continue;
        }
        if (color == "?") {
            print_description_line(w, "(Xterm) Request the value of palette color %u.", index);
        } else {
            print_description_line(w, "(Xterm) Set palette color %u to %s.", index,
                                   shown(color).text);
        }
    }
}

// OSC 104 [; c ...] and OSC 105 [; c ...]: reset colours.
void describe_color_reset(string_view args, LineWriter& w, bool special) {
    if (args.empty()) {
        print_description_line(
            w, "%s",
            special ? "(Xterm) Reset every special color." : "(Xterm) Reset every palette color.");
        return;
    }
    for (std::size_t i = 0; i < count_fields(args); ++i) {
        std::uint32_t index = 0;
        if (!parse_number(field(args, i), index)) continue;
        if (special && index < std::size(special_colors)) {
            print_description_line(w, "(Xterm) Reset the %s color.", special_colors[index]);
        } else if (!special) {
            print_description_line(w, "(Xterm) Reset palette color %u.", index);
        }
    }
}

void describe_special_colors(string_view args, LineWriter& w) {
    for (std::size_t i = 0; i + 1 < count_fields(args); i += 2) {
        std::uint32_t index = 0;
        if (!parse_number(field(args, i), index) || index >= std::size(special_colors)) continue;
        const string_view color = field(args, i + 1);
        if (color == "?") {
            print_description_line(w, "(Xterm) Request the %s color.", special_colors[index]);
        } else {
            print_description_line(w, "(Xterm) Set the %s color to %s.", special_colors[index],
                                   shown(color).text);
        }
    }
}

// OSC 10 to 19: each value sets or queries the next dynamic colour.
void describe_dynamic_colors(std::uint32_t first, string_view args, LineWriter& w) {
    const std::size_t n = count_fields(args);
    for (std::size_t i = 0; i < n && first + i < 20; ++i) {
        const char* what = dynamic_colors[first + i - 10];
        const string_view color = field(args, i);
        if (color == "?") {
            print_description_line(w, "(Xterm) Request the %s.", what);
        } else {
            print_description_line(w, "(Xterm) Set the %s to %s.", what, shown(color).text);
        }
    }
}

// OSC 7 ; file://host/path: the shell's current directory.
void describe_directory(string_view url, LineWriter& w) {
    constexpr string_view scheme = "file://";
    if (!url.starts_with(scheme)) {
        print_description_line(w, "Set the current directory to \"%s\".", shown(url).text);
        return;
    }
    const string_view rest = url.substr(scheme.size());
    const std::size_t slash = rest.find('/');
    const string_view host = rest.substr(0, slash);
    const string_view path = slash == string_view::npos ? string_view("/") : rest.substr(slash);
    char decoded[STRING_HEAD_SIZE];
    const std::size_t n = percent_decode(decoded, sizeof decoded, path);
    const Shown shown_path = shown({decoded, n});
    if (host.empty()) {
        print_description_line(w, "Set the current directory to \"%s\".", shown_path.text);
    } else {
        print_description_line(w, "Set the current directory to \"%s\" on host \"%s\".",
                               shown_path.text, shown(host).text);
    }
}

// OSC 8 ; params ; URI: a hyperlink; an empty URI ends it.
void describe_hyperlink(string_view args, LineWriter& w) {
    const string_view params = field(args, 0);
    const string_view uri = after_field(args, 0);
    if (uri.empty()) {
        print_description_line(w, "End the hyperlink.");
        return;
    }
    if (params.empty()) {
        print_description_line(w, "Start a hyperlink to \"%s\".", shown(uri).text);
    } else {
        print_description_line(w, "Start a hyperlink to \"%s\" (%s).", shown(uri).text,
                               shown(params).text);
    }
}

// OSC 9 ; text (iTerm2) and OSC 9 ; 4 ; state ; percent (ConEmu).
void describe_notification(string_view args, LineWriter& w) {
    if (field(args, 0) != "4" || count_fields(args) == 1) {
        print_description_line(w, "(iTerm2) Post the notification \"%s\".", shown(args).text);
        return;
    }
    std::uint32_t state = 0;
    std::uint32_t percent = 0;
    const bool has_state = parse_number(field(args, 1), state);
    const bool has_percent = parse_number(field(args, 2), percent);
    if (!has_state || state == 0) {
        print_description_line(w, "(ConEmu) Remove the progress indicator.");
    } else if (state == 3) {
        print_description_line(w, "(ConEmu) Show progress of unknown length.");
    } else if (state <= 4) {
        const char* kinds[] = {"", "progress", "an error", "", "a paused state"};
        if (has_percent) {
            print_description_line(w, "(ConEmu) Show %s at %u percent.", kinds[state], percent);
        } else {
            print_description_line(w, "(ConEmu) Show %s.", kinds[state]);
        }
    } else {
        print_description_line(w, "(ConEmu) Progress state %u is not defined.", state);
    }
}

// The selections of OSC 52, by their letter or digit.
void name_selections(string_view letters, char (&out)[160]) {
    std::size_t n = 0;
    if (letters.empty()) letters = "s0";
    for (const char c : letters) {
        const char* name = nullptr;
        char cut[16] = "cut buffer 0";
        switch (c) {
            case 'c': name = "the clipboard"; break;
            case 'p': name = "the primary selection"; break;
            case 'q': name = "the secondary selection"; break;
            case 's': name = "the selection"; break;
            default:
                if (c >= '0' && c <= '7') {
                    cut[11] = c;
                    name = cut;
                }
                break;
        }
        const int k = name != nullptr
                          ? std::snprintf(out + n, sizeof out - n, "%s%s", n == 0 ? "" : ", ", name)
                          : std::snprintf(out + n, sizeof out - n, "%sunknown selection %c",
                                          n == 0 ? "" : ", ", c >= 0x21 && c < 0x7f ? c : '?');
        if (k < 0 || static_cast<std::size_t>(k) >= sizeof out - n) break;
        n += static_cast<std::size_t>(k);
    }
}

bool looks_like_text(const std::uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i] < 0x20 && bytes[i] != '\t' && bytes[i] != '\n' && bytes[i] != '\r')
            return false;
        if (bytes[i] == 0x7f) return false;
    }
    return true;
}

// OSC 52 ; selections ; base64 data, "?" or anything else.
void describe_clipboard(const ControlString& s, string_view args, LineWriter& w) {
    char where[160] = "";
    name_selections(field(args, 0), where);
    if (count_fields(args) < 2) {
        print_description_line(w, "(Xterm) Clipboard command without data for %s.", where);
        return;
    }
    const string_view data = after_field(args, 0);
    if (data == "?") {
        print_description_line(
            w, "(Xterm) Request to read %s: the terminal answers with its contents.", where);
        return;
    }
    const Base64Count& b = s.base64;
    if (s.bulk_length() == 0) {
        print_description_line(w, "(Xterm) Clear %s.", where);
        return;
    }
    if (!base64_complete(b)) {
        print_description_line(
            w, "(Xterm) Copy to %s: the data (%" PRIu64 " bytes) is not valid base64.", where,
            s.bulk_length());
        return;
    }
    print_description_line(w, "(Xterm) Copy %" PRIu64 " byte%s to %s.", b.decoded,
                           b.decoded == 1 ? "" : "s", where);
    const std::size_t preview = b.decoded < DECODED_PREVIEW_SIZE
                                    ? static_cast<std::size_t>(b.decoded)
                                    : DECODED_PREVIEW_SIZE;
    if (looks_like_text(b.preview, preview)) {
        const Shown text = shown({reinterpret_cast<const char*>(b.preview), preview});
        print_description_line(w, "The text %s \"%s%s\".", b.decoded > preview ? "begins" : "is",
                               text.text, b.decoded > preview ? "..." : "");
    } else {
        print_description_line(w, "The data is binary.");
    }
}

// key=value options after a shell integration mark, as one line.
void describe_mark_options(string_view options, LineWriter& w) {
    if (options.empty()) return;
    print_description_line(w, "With %s.", shown(options).text);
}

// OSC 133 (FinalTerm's semantic prompts) and OSC 633 (VS Code's form).
void describe_shell_mark(string_view args, LineWriter& w, const char* tag) {
    const string_view mark = field(args, 0);
    const string_view rest = after_field(args, 0);
    if (mark == "A") {
        print_description_line(w, "(%s) Mark the start of a prompt.", tag);
        describe_mark_options(rest, w);
    } else if (mark == "B") {
        print_description_line(w, "(%s) Mark the end of the prompt and the start of input.", tag);
        describe_mark_options(rest, w);
    } else if (mark == "C") {
        print_description_line(
            w, "(%s) Mark the end of input and the start of the command's output.", tag);
        describe_mark_options(rest, w);
    } else if (mark == "D") {
        std::uint32_t status = 0;
        if (parse_number(field(rest, 0), status)) {
            print_description_line(w, "(%s) Mark the end of the command, with exit status %u.", tag,
                                   status);
            describe_mark_options(after_field(rest, 0), w);
        } else {
            print_description_line(w, "(%s) Mark the end of the command.", tag);
            describe_mark_options(rest, w);
        }
    } else if (mark == "P" && tag[0] == 'F') {
        const string_view kind = field(rest, 0);
        const char* which = kind == "k=r"   ? "a right-side prompt"
                            : kind == "k=c" ? "a continuation prompt"
                            : kind == "k=s" ? "a secondary prompt"
                                            : "the first line of a prompt";
        print_description_line(w, "(%s) Mark the start of %s.", tag, which);
        if (kind != "k=i" && kind != "k=r" && kind != "k=c" && kind != "k=s")
            describe_mark_options(rest, w);
    } else if (mark == "L" && tag[0] == 'F') {
        print_description_line(w, "(%s) Move to a fresh line.", tag);
    } else if (mark == "N" && tag[0] == 'F') {
        print_description_line(w, "(%s) Mark the end of a command and the start of a new one.",
                               tag);
        describe_mark_options(rest, w);
    } else if (mark == "I" && tag[0] == 'F') {
        print_description_line(w, "(%s) Mark the rest of the line as input.", tag);
    } else if (mark == "E" && tag[0] == 'V') {
        // VS Code writes ";", backslash and control bytes of the command
        // line as \xAB, and a backslash as \\.
        const string_view line = field(rest, 0);
        char decoded[STRING_HEAD_SIZE];
        std::size_t n = 0;
        for (std::size_t i = 0; i < line.size() && n < sizeof decoded; ++i) {
            bool valid = false;
            if (line[i] == '\\' && i + 3 < line.size() && line[i + 1] == 'x' &&
                hex_decode(decoded + n, 1, line.substr(i + 2, 2), valid) == 1 && valid) {
                ++n;
                i += 3;
            } else if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '\\') {
                decoded[n++] = '\\';
                ++i;
            } else {
                decoded[n++] = line[i];
            }
        }
        print_description_line(w, "(%s) Set the command line to \"%s\".", tag,
                               shown({decoded, n}).text);
    } else if (mark == "P" && tag[0] == 'V') {
        const string_view property = rest.substr(0, rest.find('='));
        const string_view value =
            rest.find('=') == string_view::npos ? string_view() : rest.substr(rest.find('=') + 1);
        print_description_line(w, "(%s) Set the property %s to \"%s\".", tag, shown(property).text,
                               shown(value).text);
    } else {
        print_description_line(w, "(%s) Shell integration mark \"%s\".", tag, shown(mark).text);
        describe_mark_options(rest, w);
    }
}

// OSC 777 ; notify ; title ; body (urxvt, and VTE), and VTE's container
// tracking: OSC 777 ; container ; push ; name ; runtime [; uid] and
// OSC 777 ; container ; pop ; ; (toolbox, distrobox).
void describe_urxvt(string_view args, LineWriter& w) {
    if (field(args, 0) == "notify") {
        print_description_line(w, "(urxvt) Post the notification \"%s\": \"%s\".",
                               shown(field(args, 1)).text, shown(after_field(args, 1)).text);
    } else if (field(args, 0) == "container" && field(args, 1) == "push") {
        const string_view runtime = field(args, 3);
        print_description_line(w, "(VTE) Enter the container \"%s\"%s%s%s.",
                               shown(field(args, 2)).text, runtime.empty() ? "" : " (",
                               shown(runtime).text, runtime.empty() ? "" : ")");
    } else if (field(args, 0) == "container" && field(args, 1) == "pop") {
        print_description_line(w, "(VTE) Leave the container.");
    } else {
        print_description_line(w, "(urxvt) Extension command \"%s\".", shown(field(args, 0)).text);
    }
}

// The value of key `key` in iTerm2's "key=value;..." arguments.
string_view iterm_argument(string_view args, string_view key) {
    for (std::size_t i = 0; i < count_fields(args); ++i) {
        const string_view f = field(args, i);
        if (f.size() > key.size() && f.starts_with(key) && f[key.size()] == '=')
            return f.substr(key.size() + 1);
    }
    return {};
}

// OSC 1337 ; command: iTerm2's own commands.
void describe_iterm(const ControlString& s, string_view args, LineWriter& w) {
    const string_view command = args.substr(0, args.find('='));
    const string_view value =
        args.find('=') == string_view::npos ? string_view() : args.substr(args.find('=') + 1);
    if (command == "SetMark") {
        print_description_line(w, "(iTerm2) Set a mark at the cursor's line.");
    } else if (command == "CurrentDir") {
        print_description_line(w, "(iTerm2) Set the current directory to \"%s\".",
                               shown(value).text);
    } else if (command == "SetUserVar") {
        const string_view name = value.substr(0, value.find('='));
        const string_view encoded = value.find('=') == string_view::npos
                                        ? string_view()
                                        : value.substr(value.find('=') + 1);
        char decoded[STRING_HEAD_SIZE];
        bool valid = true;
        const std::size_t n = base64_decode(decoded, sizeof decoded, encoded, valid);
        if (valid) {
            print_description_line(w, "(iTerm2) Set the user variable \"%s\" to \"%s\".",
                                   shown(name).text, shown({decoded, n}).text);
        } else {
            print_description_line(
                w, "(iTerm2) Set the user variable \"%s\": the value is not valid base64.",
                shown(name).text);
        }
    } else if (command == "File" || command == "MultipartFile") {
        const string_view header = value.substr(0, value.find(':'));
        char name[STRING_HEAD_SIZE];
        bool valid = true;
        const std::size_t n =
            base64_decode(name, sizeof name, iterm_argument(header, "name"), valid);
        const string_view size = iterm_argument(header, "size");
        const bool show = iterm_argument(header, "inline") == "1";
        print_description_line(
            w, "(iTerm2) %s the file \"%s\"%s%s%s%s.", show ? "Show" : "Transfer",
            n != 0 && valid ? shown({name, n}).text : "(unnamed)", size.empty() ? "" : ", ",
            shown(size).text, size.empty() ? "" : " bytes", show ? ", inline" : "");
        if (command == "File") {
            print_description_line(
                w, "The payload holds %" PRIu64 " bytes of base64 (%" PRIu64 " bytes decoded)%s",
                s.bulk_length(), s.base64.decoded,
                base64_complete(s.base64) ? "." : ", not valid base64.");
        }
    } else if (command == "FilePart") {
        print_description_line(w, "(iTerm2) Send %" PRIu64 " bytes of base64 of the file.",
                               s.bulk_length());
    } else if (command == "FileEnd") {
        print_description_line(w, "(iTerm2) End the file.");
    } else {
        print_description_line(w, "(iTerm2) Run the command \"%s\".", shown(args).text);
    }
}

// OSC 21 ; key=value ; ...: kitty's color control. A value "?" asks, an
// empty one makes the color dynamic, a key alone resets it.
void describe_kitty_colors(string_view args, LineWriter& w) {
    for (std::size_t i = 0; i < count_fields(args); ++i) {
        const string_view item = field(args, i);
        const std::size_t equals = item.find('=');
        const string_view key = item.substr(0, equals);
        std::uint32_t index = 0;
        char name[64];
        if (parse_number(key, index)) {
            std::snprintf(name, sizeof name, "palette color %u", index);
        } else {
            // selection_background: "the selection background color".
            std::size_t n = 4;
            std::snprintf(name, sizeof name, "the ");
            for (std::size_t k = 0; k < key.size() && n + 8 < sizeof name; ++k)
                name[n++] = key[k] == '_' ? ' ' : key[k];
            const bool has_color = key.find("color") != string_view::npos;
            std::snprintf(name + n, sizeof name - n, "%s", has_color ? "" : " color");
        }
        const Shown shown_name = shown(name);
        if (equals == string_view::npos) {
            print_description_line(w, "(kitty) Reset %s.", shown_name.text);
        } else if (item.substr(equals + 1) == "?") {
            print_description_line(w, "(kitty) Request %s.", shown_name.text);
        } else if (equals + 1 == item.size()) {
            print_description_line(w, "(kitty) Make %s dynamic.", shown_name.text);
        } else {
            print_description_line(w, "(kitty) Set %s to %s.", shown_name.text,
                                   shown(item.substr(equals + 1)).text);
        }
    }
}

// OSC 22 ; shape: xterm's pointer shape, with kitty's push (">"), pop
// ("<") and query ("?").
void describe_pointer_shape(string_view args, LineWriter& w) {
    if (args.empty()) {
        print_description_line(w, "(Xterm) Reset the mouse pointer's shape.");
    } else if (args.starts_with('>')) {
        print_description_line(w, "(kitty) Push the mouse pointer shape \"%s\".",
                               shown(args.substr(1)).text);
    } else if (args == "<") {
        print_description_line(w, "(kitty) Pop the mouse pointer shape.");
    } else if (args.starts_with('?')) {
        print_description_line(w, "(kitty) Request which of the pointer shapes \"%s\" are known.",
                               shown(args.substr(1)).text);
    } else {
        print_description_line(w, "(Xterm) Set the mouse pointer's shape to \"%s\".",
                               shown(args).text);
    }
}

// OSC 50 ; font: xterm's font, and the cursor shape Konsole and iTerm2 once
// took there (fish still sends it).
void describe_font(string_view args, LineWriter& w) {
    constexpr string_view cursor_shape = "CursorShape=";
    constexpr const char* shapes[] = {"block", "bar", "underline"};
    std::uint32_t shape = 0;
    if (args.starts_with(cursor_shape) && parse_number(args.substr(cursor_shape.size()), shape) &&
        shape < std::size(shapes)) {
        print_description_line(w, "(Konsole) Set the cursor shape to %s.", shapes[shape]);
    } else if (args == "?") {
        print_description_line(w, "(Xterm) Request the font.");
    } else {
        print_description_line(w, "(Xterm) Set the font to \"%s\".", shown(args).text);
    }
}

// OSC 66 ; metadata ; text: kitty's text sizing, "s=2:w=1" and the like.
void describe_text_size(string_view args, LineWriter& w) {
    const string_view metadata = field(args, 0);
    std::uint32_t scale = 1;
    for (std::size_t i = 0; i < count_fields(metadata, ':'); ++i) {
        const string_view item = field(metadata, i, ':');
        if (item.starts_with("s=")) parse_number(item.substr(2), scale);
    }
    print_description_line(w, "(kitty) Draw \"%s\" at scale %u.", shown(after_field(args, 0)).text,
                           scale);
    if (metadata.find(':') != string_view::npos || !metadata.starts_with("s="))
        describe_mark_options(metadata, w);
}

// OSC 99 ; metadata ; payload: kitty's desktop notifications. The payload
// is the part "p" names (the title by default), base64 when e=1; d=0 says
// more of the notification follows.
void describe_kitty_notification(string_view args, LineWriter& w) {
    const string_view metadata = field(args, 0);
    string_view part = "title";
    bool more = false;
    bool encoded = false;
    for (std::size_t i = 0; i < count_fields(metadata, ':'); ++i) {
        const string_view item = field(metadata, i, ':');
        if (item.starts_with("p=")) part = item.substr(2);
        if (item == "d=0") more = true;
        if (item == "e=1") encoded = true;
    }
    string_view payload = after_field(args, 0);
    char decoded[STRING_HEAD_SIZE];
    bool valid = true;
    if (encoded) payload = {decoded, base64_decode(decoded, sizeof decoded, payload, valid)};
    if (part == "?") {
        print_description_line(w, "(kitty) Request the notification features the terminal has.");
    } else if (part == "close") {
        print_description_line(w, "(kitty) Close the notification.");
    } else if (part == "alive") {
        print_description_line(w, "(kitty) Request which notifications are still shown.");
    } else if (!valid) {
        print_description_line(w, "(kitty) The notification's %s is not valid base64.",
                               shown(part).text);
    } else if (more) {
        print_description_line(w, "(kitty) Send the %s \"%s\" of a notification, more to follow.",
                               shown(part).text, shown(payload).text);
    } else if (part == "title") {
        print_description_line(w, "(kitty) Post the notification titled \"%s\".",
                               shown(payload).text);
    } else {
        print_description_line(w, "(kitty) Post the notification with the %s \"%s\".",
                               shown(part).text, shown(payload).text);
    }
    describe_mark_options(metadata, w);
}

// OSC 3008 ; start=id ; field=value ... and OSC 3008 ; end=id ; ...:
// systemd's contexts (a service, a session, a shell, a command...). The
// type of a context started names it; the other fields follow as they are.
void describe_context(string_view args, LineWriter& w) {
    const string_view first = field(args, 0);
    const string_view rest = after_field(args, 0);
    string_view type;
    char others[STRING_HEAD_SIZE];
    std::size_t n = 0;
    for (std::size_t i = 0; i < count_fields(rest); ++i) {
        const string_view item = field(rest, i);
        if (item.starts_with("type=") && type.empty()) {
            type = item.substr(5);
            continue;
        }
        if (n != 0 && n < sizeof others) others[n++] = ';';
        const std::size_t copied = std::min(item.size(), sizeof others - n);
        if (copied != 0) std::memcpy(others + n, item.data(), copied);
        n += copied;
    }
    if (first.starts_with("start=")) {
        print_description_line(w, "(systemd) Start the %s%scontext \"%s\".", shown(type).text,
                               type.empty() ? "" : " ", shown(first.substr(6)).text);
    } else if (first.starts_with("end=")) {
        print_description_line(w, "(systemd) End the %s%scontext \"%s\".", shown(type).text,
                               type.empty() ? "" : " ", shown(first.substr(4)).text);
    } else {
        print_description_line(w, "(systemd) Context message \"%s\".", shown(first).text);
    }
    describe_mark_options({others, n}, w);
}

struct OscName {
    std::uint32_t number = 0;
    const char* label = nullptr;
};

// Sorted by number; 10 to 19 and 110 to 119 are named from their table.
constexpr OscName osc_names[] = {
    {0, "SET ICON NAME AND WINDOW TITLE"},
    {1, "SET ICON NAME"},
    {2, "SET WINDOW TITLE"},
    {4, "SET OR REQUEST PALETTE COLOR"},
    {5, "SET OR REQUEST SPECIAL COLOR"},
    {7, "CURRENT DIRECTORY"},
    {8, "HYPERLINK"},
    {9, "NOTIFICATION"},
    {21, "COLOR CONTROL"},
    {22, "POINTER SHAPE"},
    {50, "SET OR REQUEST FONT"},
    {52, "CLIPBOARD"},
    {66, "TEXT SIZING"},
    {99, "DESKTOP NOTIFICATION"},
    {104, "RESET PALETTE COLOR"},
    {105, "RESET SPECIAL COLOR"},
    {133, "SHELL INTEGRATION MARK"},
    {633, "VS CODE SHELL INTEGRATION"},
    {777, "URXVT EXTENSION"},
    {1337, "ITERM2 COMMAND"},
    {3008, "CONTEXT SIGNAL"},
};

consteval bool osc_names_sorted() {
    for (std::size_t i = 1; i < std::size(osc_names); ++i) {
        if (osc_names[i - 1].number >= osc_names[i].number) return false;
    }
    return true;
}
static_assert(osc_names_sorted());

}  // namespace

const char* osc_label(std::uint32_t number) {
    if (number >= 10 && number <= 19) return dynamic_color_labels[number - 10];
    if (number >= 110 && number <= 119) return reset_color_labels[number - 110];
    for (const OscName& n : osc_names) {
        if (n.number == number) return n.label;
    }
    return nullptr;
}

void describe_osc(const ControlString& s, LineWriter& w) {
    const string_view text = s.text();
    const string_view number_text = field(text, 0);
    const string_view args = after_field(text, 0);
    std::uint32_t number = 0;
    if (!parse_number(number_text, number)) {
        print_label_line(w, "%s: %s", "OSC", "OPERATING SYSTEM COMMAND");
        return;
    }
    const char* label = osc_label(number);
    print_string_label(w, "OSC", number_text,
                       label != nullptr ? label : "OPERATING SYSTEM COMMAND");
    if (number >= 110 && number <= 119) {
        print_description_line(w, "(Xterm) Reset the %s.", dynamic_colors[number - 110]);
        return;
    }
    switch (number) {
        case 0: describe_title(args, w, "the icon name and the window title"); break;
        case 1: describe_title(args, w, "the icon name"); break;
        case 2: describe_title(args, w, "the window title"); break;
        case 4: describe_palette(args, w); break;
        case 5: describe_special_colors(args, w); break;
        case 7: describe_directory(args, w); break;
        case 8: describe_hyperlink(args, w); break;
        case 9: describe_notification(args, w); break;
        case 21: describe_kitty_colors(args, w); break;
        case 22: describe_pointer_shape(args, w); break;
        case 50: describe_font(args, w); break;
        case 52: describe_clipboard(s, args, w); break;
        case 66: describe_text_size(args, w); break;
        case 99: describe_kitty_notification(args, w); break;
        case 104: describe_color_reset(args, w, false); break;
        case 105: describe_color_reset(args, w, true); break;
        case 133: describe_shell_mark(args, w, "FinalTerm"); break;
        case 633: describe_shell_mark(args, w, "VS Code"); break;
        case 777: describe_urxvt(args, w); break;
        case 1337: describe_iterm(s, args, w); break;
        case 3008: describe_context(args, w); break;
        default:
            if (number >= 10 && number <= 19) describe_dynamic_colors(number, args, w);
            break;
    }
}

}  // namespace vorsk

namespace vorsk {

bool describe_color_report(const ControlString& s, LineWriter& w) {
    const string_view text = s.text();
    const string_view number_text = field(text, 0);
    const string_view args = after_field(text, 0);
    std::uint32_t number = 0;
    if (!parse_number(number_text, number) || args.empty() || args.find('?') != string_view::npos)
        return false;
    if (number == 4) {
        std::uint32_t index = 0;
        if (count_fields(args) != 2 || !parse_number(field(args, 0), index)) return false;
        print_string_label(w, "OSC", number_text, osc_label(number));
        print_description_line(w, "(Xterm) Report palette color %u as %s.", index,
                               shown(field(args, 1)).text);
        return true;
    }
    if (number < 10 || number > 19 || count_fields(args) != 1) return false;
    print_string_label(w, "OSC", number_text, osc_label(number));
    print_description_line(w, "(Xterm) Report the %s as %s.", dynamic_colors[number - 10],
                           shown(args).text);
    return true;
}

}  // namespace vorsk
