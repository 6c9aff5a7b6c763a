// SGR: the one reader of rendition lists, and what the account, the page's
// pen and the summary make of its items.
#include "vocab/sgr.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "vocab/handlers.h"

namespace vorsk {
namespace {

// Indexed by the rendition value; empty where nothing is described.
constexpr std::string_view rendition_texts[] = {
    "Clear graphic rendition to defaults.",
    "Set bold text.",
    "Set dim text.",
    "Set italicized text.",
    "Set underlined text.",
    "Set slowly blinking text.",
    "Set rapidly blinking text.",
    "Set negative text image.",
    "Set hidden text.",
    "Set strike-out text.",
    "Set default font.",  // 10
    "Set first alternative font.",
    "Set second alternative font.",
    "Set third alternative font.",
    "Set fourth alternative font.",
    "Set fifth alternative font.",
    "Set sixth alternative font.",
    "Set seventh alternative font.",
    "Set eighth alternative font.",
    "Set ninth alternative font.",
    "Set Fraktur (Gothic) font.",  // 20
    "Set double-underlined text.",
    "Clear bold or dim text.",
    "Clear italicized or fraktur text.",
    "Clear underlining.",
    "Clear blinking.",
    {},
    "Set positive text image.",
    "Set visible text.",
    "Clear strike-out text.",
    "Set foreground color black.",  // 30
    "Set foreground color red.",
    "Set foreground color green.",
    "Set foreground color yellow.",
    "Set foreground color blue.",
    "Set foreground color magenta.",
    "Set foreground color cyan.",
    "Set foreground color white.",
    {},  // 38 is an extended colour, described with the values after it
    "Set foreground color default.",
    "Set background color black.",  // 40
    "Set background color red.",
    "Set background color green.",
    "Set background color yellow.",
    "Set background color blue.",
    "Set background color magenta.",
    "Set background color cyan.",
    "Set background color white.",
    {},  // 48, as 38
    "Set background color default.",
    {},  // 50
    "Set framed text.",
    "Set encircled text.",
    "Set overlined text.",
    "Clear framed or encircled text.",
    "Clear overlined text.",
    {},
    {},
    {},
    {},
    "Set ideogram underline",  // 60
    "Set ideogram double underline",
    "Set ideogram overline",
    "Set ideogram double overline",
    "Set ideogram stress marking",
    "Clear ideographic underlines, overlines, or stress marks.",
};

constexpr std::uint32_t MAX_RENDITION = 65;
constexpr std::uint32_t FIRST_BRIGHT = 90;
constexpr std::uint32_t LAST_BRIGHT = 107;

// xterm's sixteen-colour extension, indexed by value - FIRST_BRIGHT.
constexpr std::string_view bright_color_texts[] = {
    "(Xterm) Set foreground color gray.",  // 90
    "(Xterm) Set foreground color bright red.",
    "(Xterm) Set foreground color bright green.",
    "(Xterm) Set foreground color bright yellow.",
    "(Xterm) Set foreground color bright blue.",
    "(Xterm) Set foreground color bright magenta.",
    "(Xterm) Set foreground color bright cyan.",
    "(Xterm) Set foreground color bright white.",
    {},
    {},
    "(Xterm) Set background color gray.",  // 100
    "(Xterm) Set background color bright red.",
    "(Xterm) Set background color bright green.",
    "(Xterm) Set background color bright yellow.",
    "(Xterm) Set background color bright blue.",
    "(Xterm) Set background color bright magenta.",
    "(Xterm) Set background color bright cyan.",
    "(Xterm) Set background color bright white.",
};

template <std::size_t N>
constexpr bool empty_exactly_at(const std::string_view (&texts)[N],
                                std::initializer_list<std::size_t> empty) {
    for (std::size_t i = 0; i < N; ++i) {
        bool listed = false;
        for (std::size_t e : empty) listed = listed || e == i;
        if (texts[i].empty() != listed) return false;
    }
    return true;
}

static_assert(std::size(rendition_texts) == MAX_RENDITION + 1);
static_assert(empty_exactly_at(rendition_texts, {26, 38, 48, 50, 56, 57, 58, 59}));
static_assert(std::size(bright_color_texts) == LAST_BRIGHT - FIRST_BRIGHT + 1);
static_assert(empty_exactly_at(bright_color_texts, {98 - FIRST_BRIGHT, 99 - FIRST_BRIGHT}));

// The classic text of a value; empty where there is none.
std::string_view classic_text(std::uint32_t v) {
    if (v >= FIRST_BRIGHT && v <= LAST_BRIGHT) return bright_color_texts[v - FIRST_BRIGHT];
    return v <= MAX_RENDITION ? rendition_texts[v] : std::string_view{};
}

// Extended mode: the texts of values the classic table leaves empty or
// words otherwise.
std::string_view extended_text(std::uint32_t v) {
    switch (v) {
        case 21: return "Set double-underlined text (some terminals clear bold instead).";
        case 26: return "Set proportional spacing.";
        case 50: return "Clear proportional spacing.";
        case 59: return "Set underline color to the default.";
        case 73: return "(mintty) Set superscript text.";
        case 74: return "(mintty) Set subscript text.";
        case 75: return "(mintty) Clear superscript and subscript text.";
        case 221: return "(kitty) Clear bold text, keeping dim.";
        case 222: return "(kitty) Clear dim text, keeping bold.";
        default: return classic_text(v);
    }
}

constexpr std::string_view underline_styles[] = {
    "Clear underlining.",
    "Set underlined text.",
    "Set double-underlined text.",
    "(kitty) Set curly underlined text.",
    "(kitty) Set dotted underlined text.",
    "(kitty) Set dashed underlined text.",
};
static_assert(std::size(underline_styles) == UNDERLINE_DASHED + 1);

constexpr const char* color_names[] = {"black", "red",     "green", "yellow",
                                       "blue",  "magenta", "cyan",  "white"};
// The levels of the 6x6x6 cube of the 256-colour palette.
constexpr std::uint32_t cube_levels[] = {0, 95, 135, 175, 215, 255};
constexpr const char* plane_names[] = {"foreground", "background", "underline"};

bool introduces_color(std::uint32_t v, bool extended) {
    return v == 38 || v == 48 || (extended && v == 58);
}

SgrPlane plane_of(std::uint32_t v) {
    return v == 38 ? PLANE_FOREGROUND : v == 48 ? PLANE_BACKGROUND : PLANE_UNDERLINE;
}

void describe_index(LineWriter& w, const char* plane, std::uint32_t index) {
    if (index < 8) {
        print_description_line(w, "Set %s color to index %u (%s).", plane, index,
                               color_names[index]);
    } else if (index < 16) {
        print_description_line(w, "Set %s color to index %u (bright %s).", plane, index,
                               color_names[index - 8]);
    } else if (index < 232) {
        const std::uint32_t n = index - 16;
        const std::uint32_t r = n / 36, g = n / 6 % 6, b = n % 6;
        print_description_line(w, "Set %s color to index %u (cube %u, %u, %u: #%02x%02x%02x).",
                               plane, index, r, g, b, cube_levels[r], cube_levels[g],
                               cube_levels[b]);
    } else if (index < 256) {
        const std::uint32_t level = 8 + 10 * (index - 232);
        print_description_line(w, "Set %s color to index %u (grey %u of 24: #%02x%02x%02x).", plane,
                               index, index - 231, level, level, level);
    } else {
        print_description_line(w, "Set %s color to index %u, which is above 255.", plane, index);
    }
}

void describe_rgb(LineWriter& w, const char* plane, const SgrItem& c) {
    if (c.red > 255 || c.green > 255 || c.blue > 255) {
        print_description_line(w, "Set %s color to (%u, %u, %u), which has a component above 255.",
                               plane, c.red, c.green, c.blue);
        return;
    }
    print_description_line(w, "Set %s color to #%02x%02x%02x (%u, %u, %u).", plane, c.red, c.green,
                           c.blue, c.red, c.green, c.blue);
}

void describe_value(LineWriter& w, std::uint32_t v, bool extended) {
    const std::string_view text = extended ? extended_text(v) : classic_text(v);
    if (!text.empty()) print_description(w, {text});
    // rxvt reads 100 as a reset of both colours, xterm as a gray background.
    if (v == 100) print_description(w, {"(Rxvt) Set foreground and background color to default."});
}

void describe_item(LineWriter& w, const SgrItem& item, bool extended) {
    const std::string_view plane = plane_names[item.plane];
    const char* plane_text = plane_names[item.plane];
    switch (item.kind) {
        case SGR_VALUE: describe_value(w, item.value, extended); return;
        case SGR_UNDERLINE:
            if (item.value < std::size(underline_styles)) {
                print_description(w, {underline_styles[item.value]});
            } else {
                print_description_line(w, "Underline style %u is not defined.", item.value);
            }
            return;
        case SGR_INDEX:
            if (extended) {
                describe_index(w, plane_text, item.value);
            } else {
                print_description(w, {"Set ", plane, " color to index ", Decimal(item.value), "."});
            }
            return;
        case SGR_RGB:
            if (extended) {
                describe_rgb(w, plane_text, item);
                return;
            }
            [[fallthrough]];  // the classic texts do not read a colour of its own
        case SGR_UNKNOWN: print_description(w, {"Set ", plane, " color (unknown)."}); return;
        case SGR_TOO_FEW: print_description(w, {"Set ", plane, " color: too few values."}); return;
        case SGR_COLOR_SPACE:
            print_description_line(w, "Set %s color in color space %u, which is not described.",
                                   plane_text, item.value);
            return;
    }
}

// A colour of the pen from an item; the default where the item gives none.
std::uint32_t pen_color(const SgrItem& item) {
    if (item.kind == SGR_INDEX) return 1 + (item.value & 0xff);
    if (item.kind == SGR_RGB)
        return PEN_RGB | (item.red & 0xff) << 16 | (item.green & 0xff) << 8 | (item.blue & 0xff);
    return 0;
}

void set_flags(Pen& pen, std::uint16_t flags) {
    pen.flags |= flags;
}

void clear_flags(Pen& pen, std::uint16_t flags) {
    pen.flags &= static_cast<std::uint16_t>(~flags);
}

void pen_apply_value(Pen& pen, std::uint32_t value) {
    switch (value) {
        case 0: pen = Pen{}; break;
        case 1: set_flags(pen, PEN_BOLD); break;
        case 2: set_flags(pen, PEN_DIM); break;
        case 3: set_flags(pen, PEN_ITALIC); break;
        case 4: pen.underline = UNDERLINE_SINGLE; break;
        case 5:
        case 6: set_flags(pen, PEN_BLINK); break;
        case 7: set_flags(pen, PEN_INVERSE); break;
        case 8: set_flags(pen, PEN_HIDDEN); break;
        case 9: set_flags(pen, PEN_STRIKE); break;
        case 21: pen.underline = UNDERLINE_DOUBLE; break;
        case 22: clear_flags(pen, PEN_BOLD | PEN_DIM); break;
        case 23: clear_flags(pen, PEN_ITALIC); break;
        case 24: pen.underline = UNDERLINE_NONE; break;
        case 25: clear_flags(pen, PEN_BLINK); break;
        case 27: clear_flags(pen, PEN_INVERSE); break;
        case 28: clear_flags(pen, PEN_HIDDEN); break;
        case 29: clear_flags(pen, PEN_STRIKE); break;
        case 39: pen.fg = 0; break;
        case 49: pen.bg = 0; break;
        case 53: set_flags(pen, PEN_OVERLINE); break;
        case 55: clear_flags(pen, PEN_OVERLINE); break;
        case 59: pen.underline_color = 0; break;
        case 221: clear_flags(pen, PEN_BOLD); break;
        case 222: clear_flags(pen, PEN_DIM); break;
        default:
            if (value >= 30 && value <= 37) pen.fg = 1 + value - 30;
            if (value >= 40 && value <= 47) pen.bg = 1 + value - 40;
            if (value >= 90 && value <= 97) pen.fg = 1 + 8 + value - 90;
            if (value >= 100 && value <= 107) pen.bg = 1 + 8 + value - 100;
            break;
    }
}

// The attributes XTPUSHSGR can save, by number.
constexpr Named pushed_attributes[] = {
    {1, "bold"},
    {2, "faint"},
    {3, "italic"},
    {4, "underline"},
    {5, "blink"},
    {7, "inverse"},
    {8, "invisible"},
    {9, "crossed-out"},
    {21, "double underline"},
    {30, "foreground color"},
    {31, "background color"},
};

}  // namespace

SgrReader::SgrReader(const Parameter* params, std::size_t n, bool ext, std::size_t values)
    : groups(params, n), left(values), extended(ext) {}

bool SgrReader::next(SgrItem& item) {
    if (stopped) return false;
    if (groups.n == 0) {
        // An empty list is a reset.
        stopped = true;
        item = {};
        return true;
    }
    if (groups.done() || left == 0) return false;
    const ParamGroup g = groups.group();
    groups.next();
    --left;
    item = {.value = g.at(0)};
    const std::uint32_t v = item.value;
    if (!introduces_color(v, extended)) {
        if (extended && v == 4 && g.has_parts()) item = {.kind = SGR_UNDERLINE, .value = g.at(1)};
        return true;
    }
    item.plane = plane_of(v);
    if (g.has_parts()) {
        // 38:5:n, 38:2::r:g:b, 38:2:cs:r:g:b and the 38:2:r:g:b that some
        // programs send.
        const std::uint32_t form = g.at(1);
        item.kind = SGR_TOO_FEW;
        if (form == 5 && g.n >= 3) {
            item.kind = SGR_INDEX;
            item.value = g.at(2);
        } else if (form == 2 && g.n >= 5) {
            const std::size_t red = g.n >= 6 ? 3 : 2;
            item.kind = SGR_RGB;
            item.red = g.at(red);
            item.green = g.at(red + 1);
            item.blue = g.at(red + 2);
        } else if (form != 2 && form != 5) {
            item.kind = SGR_COLOR_SPACE;
            item.value = form;
        }
        return true;
    }
    if (groups.done() || left == 0) {
        // The classic texts have nothing to say of a colour left without values.
        if (extended) item.kind = SGR_TOO_FEW;
        return true;
    }
    // The values after ";": 5 and an index, 2 and three components. Any
    // other form leaves no way to tell where the colour ends, so nothing
    // after it is read.
    const std::uint32_t form = groups.group().at(0);
    // The values after the form, within the reader's bound.
    const std::size_t after = groups.groups_after(3);
    const std::size_t room = std::min(after, left - 1);
    if (form == 5 && room >= 1) {
        groups.next();
        item.kind = SGR_INDEX;
        item.value = groups.group().at(0);
        groups.next();
        left -= 2;
        return true;
    }
    if (form == 2 && room >= 3) {
        std::uint32_t rgb[3];
        for (std::uint32_t& c : rgb) {
            groups.next();
            c = groups.group().at(0);
        }
        groups.next();
        left -= 4;
        item.kind = SGR_RGB;
        item.red = rgb[0];
        item.green = rgb[1];
        item.blue = rgb[2];
        return true;
    }
    item.kind = SGR_UNKNOWN;
    stopped = true;
    return true;
}

std::string_view sgr_classic_text(std::uint32_t v) {
    return classic_text(v);
}

VORSK_CSI_HANDLER(csi_do_sgr) {
    describe_sgr(*a.sequence, a.extended, w);
}

void describe_sgr(const Sequence& s, bool extended, LineWriter& w) {
    SgrItem item;
    bool after_reset = false;
    // The classic account describes no more values than a handler takes.
    for (SgrReader r(s, extended, extended ? SIZE_MAX : MAX_CSI_PARAMS); r.next(item);) {
        // Extended mode says a reset once, however many follow each other.
        const bool reset = item.kind == SGR_VALUE && item.value == 0;
        if (!(extended && reset && after_reset)) describe_item(w, item, extended);
        after_reset = reset;
    }
}

ColorDepth sgr_color_depth(const Sequence& s, bool extended) {
    ColorDepth depth = DEPTH_NONE;
    SgrItem item;
    for (SgrReader r(s, extended); r.next(item);) {
        ColorDepth d = DEPTH_NONE;
        const std::uint32_t v = item.value;
        if (item.kind == SGR_INDEX) d = DEPTH_256;
        if (item.kind == SGR_RGB) d = DEPTH_TRUE;
        if (item.kind == SGR_VALUE && ((v >= 30 && v <= 37) || (v >= 40 && v <= 47))) d = DEPTH_8;
        if (item.kind == SGR_VALUE && ((v >= 90 && v <= 97) || (v >= 100 && v <= 107)))
            d = DEPTH_16;
        if (d > depth) depth = d;
    }
    return depth;
}

void pen_apply(Pen& pen, const Parameter* params, std::size_t n, bool extended) {
    SgrItem item;
    for (SgrReader r(params, n, extended); r.next(item);) {
        std::uint32_t* color = item.plane == PLANE_FOREGROUND   ? &pen.fg
                               : item.plane == PLANE_BACKGROUND ? &pen.bg
                                                                : &pen.underline_color;
        switch (item.kind) {
            case SGR_VALUE: pen_apply_value(pen, item.value); break;
            case SGR_UNDERLINE:
                pen.underline = item.value <= UNDERLINE_DASHED
                                    ? static_cast<std::uint8_t>(item.value)
                                    : std::uint8_t{UNDERLINE_SINGLE};
                break;
            case SGR_INDEX:
            case SGR_RGB:
            case SGR_UNKNOWN:
            case SGR_TOO_FEW:
            case SGR_COLOR_SPACE: *color = pen_color(item); break;
        }
    }
}

// XTPUSHSGR, XTPOPSGR and XTREPORTSGR: CSI Pm # {, CSI # }, CSI Pt;Pl;Pb;Pr # |.
VORSK_CSI_HANDLER(csi_do_xtpushsgr) {
    Phrase names;
    for (std::size_t i = 0; i < a.sequence->n_params && i < a.count; ++i) {
        if (const char* name = name_of(pushed_attributes, a.param(i))) names.add(name);
    }
    if (names.items == 0) {
        print_description_line(w, "(Xterm) Push the video attributes onto the stack.");
    } else {
        print_description_line(w, "(Xterm) Push these video attributes onto the stack:");
        print_description_line(w, " %s.", names.text);
    }
}

VORSK_CSI_HANDLER(csi_do_xtpopsgr) {
    print_description_line(w, "(Xterm) Pop the video attributes from the stack.");
}

VORSK_CSI_HANDLER(csi_do_xtreportsgr) {
    const Rectangle r = rectangle_at(a, 0);
    print_description_line(w, "(Xterm) Request the common attributes of %s.", r.text);
}

}  // namespace vorsk
