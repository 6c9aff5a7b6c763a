// Descriptions of application program commands. kitty's graphics commands
// are the one kind known: APC G, control data as key=value pairs split at
// ",", and after ";" a payload, mostly base64.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "vocab/fields.h"
#include "vocab/strings.h"

namespace vorsk {
namespace {

using std::string_view;

struct Key {
    char key = 0;
    string_view value;
    bool number = false;  // the value reads as a number
    std::int64_t n = 0;
};

// The control data of a graphics command. A key given twice counts once,
// with its last value.
constexpr std::size_t MAX_KEYS = 48;
struct Control {
    Key keys[MAX_KEYS];
    std::size_t n_keys = 0;
    string_view malformed[4];  // items that are no key=value
    std::size_t n_malformed = 0;
};

// A kitty number: optional "-", then at most ten digits.
bool parse_integer(string_view text, std::int64_t& value) {
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    if (text.empty() || text.size() > 10) return false;
    std::int64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = negative ? -v : v;
    return true;
}

bool is_key_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void parse_control(string_view data, Control& c) {
    if (data.empty()) return;
    const std::size_t n = count_fields(data, ',');
    for (std::size_t i = 0; i < n; ++i) {
        const string_view item = field(data, i, ',');
        if (item.size() < 2 || !is_key_char(item[0]) || item[1] != '=') {
            if (c.n_malformed < std::size(c.malformed)) c.malformed[c.n_malformed++] = item;
            continue;
        }
        Key* k = nullptr;
        for (std::size_t j = 0; j < c.n_keys && k == nullptr; ++j) {
            if (c.keys[j].key == item[0]) k = &c.keys[j];
        }
        if (k == nullptr) {
            if (c.n_keys == MAX_KEYS) continue;
            k = &c.keys[c.n_keys++];
        }
        k->key = item[0];
        k->value = item.substr(2);
        k->number = parse_integer(k->value, k->n);
    }
}

const Key* find(const Control& c, char key) {
    for (std::size_t i = 0; i < c.n_keys; ++i) {
        if (c.keys[i].key == key) return &c.keys[i];
    }
    return nullptr;
}

bool has(const Control& c, char key) {
    return find(c, key) != nullptr;
}

// A key's value as a number; a value that is none is reported at the end.
bool number(const Control& c, char key, std::int64_t& value) {
    const Key* k = find(c, key);
    if (k == nullptr || !k->number) return false;
    value = k->n;
    return true;
}

std::int64_t number_or(const Control& c, char key, std::int64_t fallback) {
    std::int64_t v = fallback;
    number(c, key, v);
    return v;
}

string_view letter(const Control& c, char key, string_view fallback) {
    const Key* k = find(c, key);
    return k != nullptr ? k->value : fallback;
}

// The keys whose values are letters; every other known key takes a number.
constexpr string_view LETTER_KEYS = "atod";
constexpr string_view KNOWN_KEYS = "atodfsvSOiIpmqxywhXYcrCUzPQHV";

// "image 31", "image number 7", "image 31, placement 2", "an image".
void name_image(const Control& c, char (&out)[80], const char* none) {
    std::int64_t id = 0;
    std::int64_t number_id = 0;
    std::int64_t placement = 0;
    int n = 0;
    if (number(c, 'i', id)) {
        n = std::snprintf(out, sizeof out, "image %" PRId64, id);
    } else if (number(c, 'I', number_id)) {
        n = std::snprintf(out, sizeof out, "image number %" PRId64, number_id);
    } else {
        n = std::snprintf(out, sizeof out, "%s", none);
    }
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof out && number(c, 'p', placement)) {
        std::snprintf(out + n, sizeof out - static_cast<std::size_t>(n), ", placement %" PRId64,
                      placement);
    }
}

// How the image data arrives: its format, medium, size and compression.
void describe_transmission(const Control& c, string_view payload, LineWriter& w) {
    const std::int64_t format = number_or(c, 'f', 32);
    const char* format_name = format == 24    ? "RGB pixels, 3 bytes each"
                              : format == 32  ? "RGBA pixels, 4 bytes each"
                              : format == 100 ? "PNG"
                                              : nullptr;
    const string_view medium = letter(c, 't', "d");
    const char* medium_name =
        medium == "d"   ? "sent in the payload"
        : medium == "f" ? "read from the file named in the payload"
        : medium == "t" ? "read from the temporary file named in the payload, then deleted"
        : medium == "s" ? "read from the shared memory named in the payload"
                        : nullptr;
    if (format_name == nullptr) {
        print_description_line(w, "(kitty) The data format %" PRId64 " is not defined.", format);
    } else if (medium_name == nullptr) {
        print_description_line(w, "(kitty) The data is %s; the medium \"%s\" is not defined.",
                               format_name, shown(medium).text);
    } else {
        print_description_line(w, "(kitty) The data is %s, %s.", format_name, medium_name);
    }
    std::int64_t width = 0;
    std::int64_t height = 0;
    const bool has_width = number(c, 's', width);
    const bool has_height = number(c, 'v', height);
    if (has_width && has_height) {
        print_description_line(w, "(kitty) The image is %" PRId64 " by %" PRId64 " pixels.", width,
                               height);
    } else if (has_width) {
        print_description_line(w, "(kitty) The image is %" PRId64 " pixels wide.", width);
    } else if (has_height) {
        print_description_line(w, "(kitty) The image is %" PRId64 " pixels high.", height);
    }
    std::int64_t size = 0;
    std::int64_t offset = 0;
    const bool has_size = number(c, 'S', size);
    const bool has_offset = number(c, 'O', offset);
    if (has_size || has_offset) {
        char what[40] = "the data";
        if (has_size) std::snprintf(what, sizeof what, "%" PRId64 " bytes", size);
        print_description_line(w, "(kitty) Read %s from offset %" PRId64 ".", what,
                               has_offset ? offset : 0);
    }
    if (const Key* o = find(c, 'o')) {
        if (o->value == "z") {
            print_description_line(w, "(kitty) The data is compressed with zlib.");
        } else {
            print_description_line(w, "(kitty) The compression \"%s\" is not defined.",
                                   shown(o->value).text);
        }
    }
    if (medium == "f" || medium == "t" || medium == "s") {
        char name[STRING_HEAD_SIZE];
        bool valid = true;
        const std::size_t n = base64_decode(name, sizeof name, payload, valid);
        if (valid && n != 0) {
            print_description_line(w, "(kitty) The name is \"%s\".", shown({name, n}).text);
        } else {
            print_description_line(w, "(kitty) The name \"%s\" is not valid base64.",
                                   shown(payload).text);
        }
    }
}

// Where and how a placement shows the image.
void describe_placement(const Control& c, LineWriter& w) {
    constexpr struct {
        char key;
        const char* name;
    } source[] = {{'x', "left edge"}, {'y', "top edge"}, {'w', "width"}, {'h', "height"}};
    char part[160] = "";
    std::size_t used = 0;
    for (const auto& k : source) {
        std::int64_t v = 0;
        if (!number(c, k.key, v)) continue;
        const int n = std::snprintf(part + used, sizeof part - used, "%s%s %" PRId64,
                                    used == 0 ? "" : ", ", k.name, v);
        if (n > 0 && static_cast<std::size_t>(n) < sizeof part - used)
            used += static_cast<std::size_t>(n);
    }
    if (used != 0)
        print_description_line(w, "(kitty) Show the part of the image with %s, in pixels.", part);
    std::int64_t x = 0;
    std::int64_t y = 0;
    if (number(c, 'X', x) || number(c, 'Y', y)) {
        number(c, 'Y', y);
        print_description_line(
            w, "(kitty) Start at pixel %" PRId64 ",%" PRId64 " of the first cell.", x, y);
    }
    std::int64_t columns = 0;
    std::int64_t rows = 0;
    const bool has_columns = number(c, 'c', columns);
    const bool has_rows = number(c, 'r', rows);
    if (has_columns && has_rows) {
        print_description_line(
            w, "(kitty) Fit the image to %" PRId64 " columns and %" PRId64 " rows.", columns, rows);
    } else if (has_columns) {
        print_description_line(w, "(kitty) Fit the image to %" PRId64 " columns.", columns);
    } else if (has_rows) {
        print_description_line(w, "(kitty) Fit the image to %" PRId64 " rows.", rows);
    }
    std::int64_t z = 0;
    if (number(c, 'z', z)) {
        print_description_line(w, "(kitty) Draw at z-index %" PRId64 ", %s the text.", z,
                               z < 0 ? "below" : "above");
    }
    std::int64_t parent = 0;
    if (number(c, 'P', parent)) {
        print_description_line(w,
                               "(kitty) Place relative to placement %" PRId64 " of image %" PRId64
                               ", offset by %" PRId64 " columns and %" PRId64 " rows.",
                               number_or(c, 'Q', 0), parent, number_or(c, 'H', 0),
                               number_or(c, 'V', 0));
    }
    if (number_or(c, 'C', 0) == 1) print_description_line(w, "(kitty) Do not move the cursor.");
    if (number_or(c, 'U', 0) == 1) {
        print_description_line(
            w, "(kitty) Make a virtual placement, shown where Unicode placeholders are.");
    }
}

// What a=d removes, by the d key's letter; a capital letter frees the
// image data too.
void describe_delete(const Control& c, LineWriter& w) {
    const string_view what = letter(c, 'd', "a");
    const char d = what.size() == 1 ? what[0] : '\0';
    const char lower = d >= 'A' && d <= 'Z' ? static_cast<char>(d - 'A' + 'a') : d;
    const char* freed = d >= 'A' && d <= 'Z' ? ", and free the images no placement uses" : "";
    char image[80];
    name_image(c, image, "an image");
    const std::int64_t x = number_or(c, 'x', 0);
    const std::int64_t y = number_or(c, 'y', 0);
    const std::int64_t z = number_or(c, 'z', 0);
    switch (lower) {
        case 'a':
            print_description_line(w, "(kitty) Delete every visible placement%s.", freed);
            break;
        case 'i':
        case 'n':
            print_description_line(w, "(kitty) Delete the placements of %s%s.", image, freed);
            break;
        case 'c':
            print_description_line(w, "(kitty) Delete the placements at the cursor%s.", freed);
            break;
        case 'f':
            print_description_line(w, "(kitty) Delete the animation frames of %s%s.", image, freed);
            break;
        case 'p':
            print_description_line(w,
                                   "(kitty) Delete the placements over the cell at column %" PRId64
                                   ", row %" PRId64 "%s.",
                                   x, y, freed);
            break;
        case 'q':
            print_description_line(w,
                                   "(kitty) Delete the placements over the cell at column %" PRId64
                                   ", row %" PRId64 " with z-index %" PRId64 "%s.",
                                   x, y, z, freed);
            break;
        case 'r':
            print_description_line(
                w, "(kitty) Delete the placements of the images %" PRId64 " to %" PRId64 "%s.", x,
                y, freed);
            break;
        case 'x':
            print_description_line(w, "(kitty) Delete the placements over column %" PRId64 "%s.", x,
                                   freed);
            break;
        case 'y':
            print_description_line(w, "(kitty) Delete the placements over row %" PRId64 "%s.", y,
                                   freed);
            break;
        case 'z':
            print_description_line(w, "(kitty) Delete the placements with z-index %" PRId64 "%s.",
                                   z, freed);
            break;
        default:
            print_description_line(w, "(kitty) The delete target \"%s\" is not defined.",
                                   shown(what).text);
            break;
    }
}

// a=a: run, stop or step an animation.
void describe_animation(const Control& c, LineWriter& w) {
    std::int64_t v = 0;
    if (number(c, 's', v)) {
        const char* state = v == 1   ? "Stop the animation"
                            : v == 2 ? "Run the animation, waiting for more frames at its last"
                            : v == 3 ? "Run the animation, looping"
                                     : nullptr;
        if (state != nullptr) {
            print_description_line(w, "(kitty) %s.", state);
        } else {
            print_description_line(w, "(kitty) The animation state %" PRId64 " is not defined.", v);
        }
    }
    if (number(c, 'c', v))
        print_description_line(w, "(kitty) Make frame %" PRId64 " the current frame.", v);
    if (number(c, 'r', v)) {
        print_description_line(w, "(kitty) Show frame %" PRId64 " for %" PRId64 " ms.", v,
                               number_or(c, 'z', 0));
    }
    if (number(c, 'v', v)) {
        if (v == 1) {
            print_description_line(w, "(kitty) Loop the animation without end.");
        } else if (v > 1) {
            print_description_line(w, "(kitty) Loop the animation %" PRId64 " times.", v - 1);
        }
    }
}

// a=f: a frame's own keys besides the data's.
void describe_frame(const Control& c, LineWriter& w) {
    std::int64_t v = 0;
    if (number(c, 'r', v)) print_description_line(w, "(kitty) Edit frame %" PRId64 ".", v);
    if (number(c, 'c', v))
        print_description_line(w, "(kitty) Start from frame %" PRId64 " as the background.", v);
    if (number(c, 'x', v) || number(c, 'y', v)) {
        print_description_line(
            w, "(kitty) Put the data at pixel %" PRId64 ",%" PRId64 " of the frame.",
            number_or(c, 'x', 0), number_or(c, 'y', 0));
    }
    if (number(c, 'z', v))
        print_description_line(w, "(kitty) Show the frame for %" PRId64 " ms.", v);
    if (number_or(c, 'X', 0) == 1)
        print_description_line(w, "(kitty) Replace the pixels rather than blend them.");
    if (number(c, 'Y', v))
        print_description_line(w, "(kitty) Fill the frame with the color %08" PRIX64 " first.",
                               static_cast<std::uint64_t>(v));
}

// The payload of a transmission: its base64, counted in full.
void describe_payload(const ControlString& s, bool has_payload, LineWriter& w) {
    const std::uint64_t length = s.bulk_length();
    if (!has_payload || length == 0) {
        print_description_line(w, "(kitty) The payload is empty.");
    } else if (!base64_complete(s.base64)) {
        print_description_line(w, "(kitty) The payload holds %" PRIu64 " bytes, not valid base64.",
                               length);
    } else {
        print_description_line(
            w, "(kitty) The payload holds %" PRIu64 " bytes of base64 (%" PRIu64 " bytes decoded).",
            length, s.base64.decoded);
    }
}

void describe_chunk(const Control& c, LineWriter& w) {
    const Key* m = find(c, 'm');
    if (m == nullptr || !m->number) return;
    if (m->n == 1) {
        print_description_line(w, "(kitty) More chunks follow.");
    } else if (m->n == 0) {
        print_description_line(w, "(kitty) This is the last chunk.");
    }
}

void describe_quiet(const Control& c, LineWriter& w) {
    const std::int64_t q = number_or(c, 'q', 0);
    if (q == 1) print_description_line(w, "(kitty) Do not answer OK.");
    if (q == 2) print_description_line(w, "(kitty) Do not answer at all.");
}

// Keys no command has, and values that should be numbers and are not.
void describe_problems(const Control& c, LineWriter& w) {
    for (std::size_t i = 0; i < c.n_keys; ++i) {
        const Key& k = c.keys[i];
        if (KNOWN_KEYS.find(k.key) == string_view::npos) {
            print_description_line(w, "(kitty) The key \"%c\" (value \"%s\") is not known.", k.key,
                                   shown(k.value).text);
        } else if (LETTER_KEYS.find(k.key) == string_view::npos && !k.number) {
            print_description_line(w, "(kitty) The value of \"%c\", \"%s\", is not a number.",
                                   k.key, shown(k.value).text);
        }
    }
    for (std::size_t i = 0; i < c.n_malformed; ++i) {
        print_description_line(w, "(kitty) The control data \"%s\" is not key=value.",
                               shown(c.malformed[i]).text);
    }
}

// The terminal's answer: the image's keys, ";", then "OK" or an error
// code, ":" and a message.
bool is_reply(const Control& c, string_view payload) {
    for (std::size_t i = 0; i < c.n_keys; ++i) {
        if (string_view("iIp").find(c.keys[i].key) == string_view::npos) return false;
    }
    if (payload == "OK") return true;
    const std::size_t colon = payload.find(':');
    if (colon == string_view::npos || colon == 0) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        if (payload[i] < 'A' || payload[i] > 'Z') return false;
    }
    return true;
}

void describe_reply(const Control& c, string_view payload, LineWriter& w) {
    char image[80];
    name_image(c, image, "the image");
    if (payload == "OK") {
        print_description_line(w, "(kitty) Report that the command on %s succeeded.", image);
        return;
    }
    const std::size_t colon = payload.find(':');
    print_description_line(w, "(kitty) Report the error %s on %s: \"%s\".",
                           shown(payload.substr(0, colon)).text, image,
                           shown(payload.substr(colon + 1)).text);
}

void describe_graphics(const ControlString& s, LineWriter& w) {
    const string_view text = s.text().substr(1);
    const std::size_t semicolon = text.find(';');
    const bool has_payload = semicolon != string_view::npos;
    const string_view payload = has_payload ? text.substr(semicolon + 1) : string_view();
    Control c;
    parse_control(text.substr(0, semicolon), c);
    if (has_payload && is_reply(c, payload) && s.whole()) {
        describe_reply(c, payload, w);
        return;
    }
    // A chunk after the first holds m (and perhaps q) alone.
    bool continuation = has(c, 'm');
    for (std::size_t i = 0; i < c.n_keys; ++i)
        continuation = continuation && (c.keys[i].key == 'm' || c.keys[i].key == 'q');
    char image[80];
    name_image(c, image, "an image");
    const string_view action = letter(c, 'a', "t");
    if (continuation) {
        print_description_line(w, "(kitty) Continue the transmission of an image in chunks.");
        describe_payload(s, has_payload, w);
    } else if (action == "t" || action == "T" || action == "q" || action == "f") {
        if (action == "t")
            print_description_line(w, "(kitty) Transmit %s, without showing it.", image);
        if (action == "T") print_description_line(w, "(kitty) Transmit and show %s.", image);
        if (action == "q") {
            print_description_line(
                w, "(kitty) Ask whether the terminal would take %s, without keeping it.", image);
        }
        if (action == "f")
            print_description_line(w, "(kitty) Transmit an animation frame of %s.", image);
        describe_transmission(c, payload, w);
        if (action == "T") describe_placement(c, w);
        if (action == "f") describe_frame(c, w);
        const string_view medium = letter(c, 't', "d");
        if (medium != "f" && medium != "t" && medium != "s") describe_payload(s, has_payload, w);
    } else if (action == "p") {
        print_description_line(w, "(kitty) Show %s.", image);
        describe_placement(c, w);
    } else if (action == "d") {
        describe_delete(c, w);
    } else if (action == "a") {
        print_description_line(w, "(kitty) Control the animation of %s.", image);
        describe_animation(c, w);
    } else if (action == "c") {
        print_description_line(w, "(kitty) Compose frame %" PRId64 " onto frame %" PRId64 " of %s.",
                               number_or(c, 'r', 0), number_or(c, 'c', 0), image);
    } else {
        print_description_line(w, "(kitty) The action \"%s\" is not defined.", shown(action).text);
    }
    describe_chunk(c, w);
    describe_quiet(c, w);
    describe_problems(c, w);
    if (!s.whole() && s.bulk_start == NO_BULK) {
        print_description_line(w, "Only the first %zu of its %" PRIu64 " bytes are described.",
                               s.kept, s.length);
    }
}

}  // namespace

void describe_apc(const ControlString& s, LineWriter& w) {
    if (s.text().starts_with('G')) {
        print_string_label(w, "APC", "G", "KITTY GRAPHICS");
        describe_graphics(s, w);
        return;
    }
    print_label_line(w, "%s: %s", "APC", "APPLICATION PROGRAM COMMAND");
}

}  // namespace vorsk
