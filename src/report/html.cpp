#include "report/html.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "allocation.h"
#include "common.h"
#include "text/byte_run.h"
#include "text/utf8.h"

namespace vorsk {
namespace {

constexpr char ESC = 0x1b;

// The page's own colours, which the pen's defaults are too unless a
// recording's theme says otherwise.
constexpr std::uint32_t PAGE_FG = 0xd0d0d0;
constexpr std::uint32_t PAGE_BG = 0x101010;

// The letters of the palette of marks, one per colour key.
constexpr char MARK_LETTERS[] = "abcdefghi";
static_assert(sizeof MARK_LETTERS - 1 == N_COLOR_KEYS, "one letter per colour key");

// The 16 colours of xterm's defaults, then the 6x6x6 cube and the greys.
std::uint32_t xterm_rgb(std::uint32_t index) {
    static constexpr std::uint32_t base[16] = {
        0x000000, 0xcd0000, 0x00cd00, 0xcdcd00, 0x0000ee, 0xcd00cd, 0x00cdcd, 0xe5e5e5,
        0x7f7f7f, 0xff0000, 0x00ff00, 0xffff00, 0x5c5cff, 0xff00ff, 0x00ffff, 0xffffff,
    };
    if (index < 16) return base[index];
    if (index < 232) {
        static constexpr std::uint32_t level[6] = {0, 95, 135, 175, 215, 255};
        const std::uint32_t c = index - 16;
        return level[c / 36] << 16 | level[c / 6 % 6] << 8 | level[c % 6];
    }
    const std::uint32_t grey = 8 + 10 * (index - 232);
    return grey << 16 | grey << 8 | grey;
}

// "#rrggbb".
void hex_color(char (&out)[8], std::uint32_t rgb) {
    static constexpr char digits[] = "0123456789abcdef";
    out[0] = '#';
    for (int i = 0; i < 6; ++i) out[1 + i] = digits[rgb >> (20 - 4 * i) & 0xf];
    out[7] = '\0';
}

// The CSS declarations of a colour of the palette of the account (its
// SGR read into a pen), over the page's colours.
void palette_css(char* out, std::size_t cap, const Pen& pen) {
    auto rgb = [](std::uint32_t color) {
        return color >= PEN_RGB ? color & 0xffffff : xterm_rgb(color - 1);
    };
    char fg[8] = {}, bg[8] = {}, page_fg[8], page_bg[8];
    hex_color(page_fg, PAGE_FG);
    hex_color(page_bg, PAGE_BG);
    if (pen.fg != 0) hex_color(fg, rgb(pen.fg));
    if (pen.bg != 0) hex_color(bg, rgb(pen.bg));
    const char* front = pen.fg != 0 ? fg : nullptr;
    const char* back = pen.bg != 0 ? bg : nullptr;
    if ((pen.flags & PEN_INVERSE) != 0) {
        const char* swap = front;
        front = back != nullptr ? back : page_bg;
        back = swap != nullptr ? swap : page_fg;
    }
    std::size_t n = 0;
    auto add = [&](const char* a, const char* b = "", const char* c = "") {
        const int k = std::snprintf(out + n, cap - n, "%s%s%s", a, b, c);
        if (k > 0) n = std::min(cap - 1, n + static_cast<std::size_t>(k));
    };
    out[0] = '\0';
    if (front != nullptr) add("color:", front, ";");
    if (back != nullptr) add("background-color:", back, ";");
    if ((pen.flags & PEN_BOLD) != 0) add("font-weight:bold;");
    if ((pen.flags & PEN_DIM) != 0) add("opacity:0.6;");
    if ((pen.flags & PEN_ITALIC) != 0) add("font-style:italic;");
    if ((pen.flags & PEN_HIDDEN) != 0) add("opacity:0.3;");
    const bool under = pen.underline != UNDERLINE_NONE;
    if (under || (pen.flags & (PEN_STRIKE | PEN_OVERLINE)) != 0) {
        const bool strike = (pen.flags & PEN_STRIKE) != 0;
        const bool over = (pen.flags & PEN_OVERLINE) != 0;
        add("text-decoration-line:", under ? "underline" : "",
            under && (strike || over) ? " " : "");
        add(strike ? "line-through" : "", strike && over ? " " : "", over ? "overline;" : ";");
    }
    static constexpr const char* styles[] = {"", "", "double", "wavy", "dotted", "dashed"};
    if (pen.underline > UNDERLINE_SINGLE && pen.underline <= UNDERLINE_DASHED)
        add("text-decoration-style:", styles[pen.underline], ";");
    if (under && pen.underline_color != 0) {
        char uc[8];
        hex_color(uc, rgb(pen.underline_color));
        add("text-decoration-color:", uc, ";");
    }
}

// The kinds of row, each its own element: the style sheet gives each the
// colour of its kind, and its marks are the account's own text.
enum RowKind : std::uint8_t {
    ROW_PLAIN,
    ROW_TEXT,
    ROW_CONTROL,
    ROW_ESCAPE,
    ROW_LABEL,
    ROW_DESCRIPTION,
    ROW_DELAY,
    ROW_METADATA,
};

struct RowTags {
    std::string_view open;
    std::string_view open_input;  // a row of the input direction
    std::string_view close;
};

// One short element per kind of row, so that a row costs a few bytes: the
// style sheet takes away what the elements would otherwise look like. An
// escape row is the summary of the group its label and descriptions join.
constexpr RowTags row_tags[] = {
    {"<div>", "<div class=in>", "</div>\n"},
    {"<p>", "<p class=in>", "</p>\n"},
    {"<u>", "<u class=in>", "</u>\n"},
    {"<details open><summary>", "<details open class=in><summary>", "</summary>\n"},
    {"<b>", "<b class=in>", "</b>\n"},
    {"<q>", "<q class=in>", "</q>\n"},
    {"<div class=w>", "<div class=\"w in\">", "</div>\n"},
    {"<div class=m>", "<div class=\"m in\">", "</div>\n"},
};

RowKind row_of(ColorKey key) {
    switch (key) {
        case TEXT_COLOR:
        case TEXT_DECOR_COLOR: return ROW_TEXT;
        case CONTROL_COLOR: return ROW_CONTROL;
        case ESCAPE_COLOR: return ROW_ESCAPE;
        case LABEL_COLOR: return ROW_LABEL;
        case DESCRIPTION_COLOR: return ROW_DESCRIPTION;
        case DELAY_COLOR: return ROW_DELAY;
        case METADATA_COLOR: return ROW_METADATA;
        case INPUT_MARK_COLOR:
        case N_COLOR_KEYS: break;
    }
    return ROW_PLAIN;
}

// The colour key each kind of row is drawn in: a mark of that key inside
// the row needs no element of its own.
constexpr ColorKey row_color[] = {
    NO_COLOR,    TEXT_DECOR_COLOR,  CONTROL_COLOR, ESCAPE_COLOR,
    LABEL_COLOR, DESCRIPTION_COLOR, DELAY_COLOR,   METADATA_COLOR,
};

// The selectors of each colour key: the element of its rows, and a class
// for a span of it elsewhere.
constexpr const char* key_selectors[] = {
    "i,.k0", "p,.k1", "u,.k2", "summary,.k3", "b,.k4", "q,.k5", ".w,.k6", ".m,.k7", ".k8",
};
static_assert(std::size(key_selectors) == N_COLOR_KEYS);

// The bits of what a row needs of the general way.
enum Due : std::uint8_t { DUE_INPUT = 1, DUE_ANCHOR = 2, DUE_LINK = 4 };

// What a byte of content needs: nothing (it stands for itself), an
// entity, a look at the mark it begins, the end of a row, U+FFFD, or a
// look at the UTF-8 character it begins.
enum ByteClass : std::uint8_t { PLAIN, ENTITY, MARK, NEWLINE, CONTROL, HIGH };

constexpr auto byte_classes = [] {
    std::array<ByteClass, 256> t{};
    for (int b = 0; b < 256; ++b) {
        ByteClass c = PLAIN;
        if (b == '&' || b == '<' || b == '>') c = ENTITY;
        if (b < 0x20 || b == 0x7f) c = CONTROL;
        if (b == ESC) c = MARK;
        if (b == '\n') c = NEWLINE;
        if (b >= 0x80) c = HIGH;
        t[static_cast<std::size_t>(b)] = c;
    }
    return t;
}();

constexpr std::size_t CSS_SIZE = 256;
constexpr std::size_t PAGE_BUFFER_SIZE = 64 * 1024;
constexpr std::size_t MARK_SIZE = 64;
constexpr std::size_t DELAY_TEXT_SIZE = 64;
constexpr std::size_t PEN_OPEN_SIZE = 256;
constexpr std::size_t PEN_STYLE_SIZE = 160;
// The first bytes of a row, where the index finds what it lists.
constexpr std::size_t HEAD_SIZE = 96;
constexpr std::size_t TIME_SIZE = 24;
// A painter's number as its mark writes it, in decimal.
constexpr std::size_t PAINTER_DIGITS = 20;

// How much of a row of each kind the index reads and quotes: an escape
// line (a prompt), a label, a marker, a screen's heading.
constexpr std::size_t head_wanted[] = {HEAD_SIZE, 0, 0, HEAD_SIZE, HEAD_SIZE, 0, 0, HEAD_SIZE};

// The sections of the index and how many entries each keeps: the rest are
// counted.
enum Section : std::uint8_t { MARKERS, PROMPTS, SCREENS, FUNCTIONS, N_SECTIONS };
constexpr const char* section_names[] = {"Markers", "Prompts", "Screens", "Functions (first use)"};
constexpr std::size_t section_capacity[] = {1024, 1024, 256, 512};
constexpr std::size_t N_ENTRIES = 1024 + 1024 + 256 + 512;
constexpr std::size_t FUNCTION_SLOTS = 1024;  // a power of two, twice the functions kept

struct Entry {
    std::uint32_t anchor = 0;
    std::uint8_t key_len = 0;  // a function's name, up to its ":"
    std::uint8_t text_len = 0;
    std::uint8_t time_len = 0;
    char text[HEAD_SIZE];
    char time[TIME_SIZE];
};

}  // namespace

struct HtmlPage {
    PageWrite write = nullptr;
    void* arg = nullptr;
    const char* program_name = "vorsk";
    std::uint64_t input_size = 0;
    std::uint64_t written = 0;
    bool warned = false;
    bool begun = false;
    char css[N_COLOR_KEYS][CSS_SIZE] = {};
    Theme theme;
    char out[PAGE_BUFFER_SIZE] = {};
    std::size_t n = 0;
    // A mark being read: ESC, "[", up to "m".
    enum { IN_TEXT, AFTER_ESC, IN_MARK } state = IN_TEXT;
    char mark[MARK_SIZE] = {};
    std::size_t mark_len = 0;
    // The row being written.
    bool row_open = false;
    RowKind row = ROW_PLAIN;
    // What the open row or the next needs that only the general way
    // writes: the input mark it began with, a painter's anchor held for it,
    // the link to its painter. The fast rows look at this one byte.
    std::uint8_t due = 0;
    bool swallow = false;           // the input mark's own text, which the row writes itself
    ColorKey span = NO_COLOR;       // the key of the open span (or of the row itself)
    bool span_element = false;      // the open span has an element to close
    ColorKey continued = NO_COLOR;  // a line of several rows goes on in this key
    bool group_open = false;
    // The pen, and the element that opens text in it.
    Pen pen;
    char pen_open[PEN_OPEN_SIZE] = "<i>";
    std::size_t pen_open_len = 3;
    // Rules for colours of the 256 that the page has not defined yet, written
    // before the next row.
    char pen_style[PEN_STYLE_SIZE] = {};
    std::size_t pen_style_len = 0;
    std::uint64_t defined[3][4] = {};  // fg, bg, underline: a bit per index
    // A delay row is kept until its end.
    char delay_text[DELAY_TEXT_SIZE] = {};
    std::size_t delay_len = 0;
    bool delay_spilled = false;
    double elapsed = 0.0;
    bool timed = false;
    char now[TIME_SIZE] = {};  // the time of the last delay row, "0:01.500"
    std::size_t now_len = 0;
    // The first bytes of the open row, as the account has them.
    char head[HEAD_SIZE] = {};
    std::size_t head_len = 0;
    std::size_t head_cap = 0;  // as much as the index reads of this kind of row
    // An "&" of the content, written when the next byte tells whether it
    // may stand for itself.
    bool amp_pending = false;
    // Mark by mark only, to check the fast paths against.
    bool general = false;
    // Who changed the screen: the anchor of a painter's account line that
    // came between rows, written at the start of the next (DUE_ANCHOR); the
    // painter the next row, a screen row, links to at its end (DUE_LINK).
    char held[PAINTER_DIGITS] = {};
    std::size_t held_len = 0;
    char painter[PAINTER_DIGITS] = {};
    std::size_t painter_len = 0;
    bool painter_style = false;  // the rules of the links, written once
    // A UTF-8 character being read.
    unsigned char utf8[4] = {};
    int utf8_len = 0;
    int utf8_need = 0;
    // The index.
    Entry entries[N_ENTRIES];
    std::size_t first[N_SECTIONS] = {};
    std::size_t count[N_SECTIONS] = {};
    std::uint64_t missed[N_SECTIONS] = {};
    std::uint16_t function_slots[FUNCTION_SLOTS] = {};
    std::uint32_t anchors = 0;
};

namespace {

void warn_size(HtmlPage& p) {
    p.warned = true;
    char input[64] = "";
    if (p.input_size != 0)
        std::snprintf(input, sizeof input, " for an input of %.1f MiB",
                      static_cast<double>(p.input_size) / (1 << 20));
    std::fprintf(stderr,
                 "%s: --html: the page passes %llu MiB%s, more than a browser opens well; "
                 "take a part of the recording with --from=WHEN and --to=WHEN\n",
                 p.program_name, static_cast<unsigned long long>(PAGE_WARN_SIZE >> 20), input);
}

void flush(HtmlPage& p) {
    if (p.n == 0) return;
    p.write(p.arg, p.out, p.n);
    p.written += p.n;
    p.n = 0;
    if (!p.warned && p.written > PAGE_WARN_SIZE) warn_size(p);
}

[[gnu::noinline]] void put_slow(HtmlPage& p, const char* bytes, std::size_t n) {
    while (n != 0) {
        if (p.n == PAGE_BUFFER_SIZE) flush(p);
        const std::size_t k = std::min(n, PAGE_BUFFER_SIZE - p.n);
        std::memcpy(p.out + p.n, bytes, k);
        p.n += k;
        bytes += k;
        n -= k;
    }
}

// Most pieces are a few bytes long: copied in place, as the writer copies
// its own.
inline void put(HtmlPage& p, const char* bytes, std::size_t n) {
    if (n <= PAGE_BUFFER_SIZE - p.n) {
        plain_output::put_any(p.out + p.n, {bytes, n});
        p.n += n;
        return;
    }
    put_slow(p, bytes, n);
}

inline void put(HtmlPage& p, std::string_view text) {
    put(p, text.data(), text.size());
}

VORSK_PRINTF(2, 3) void put_format(HtmlPage& p, const char* format, ...) {
    char piece[512];
    std::va_list args;
    va_start(args, format);
    const int k = std::vsnprintf(piece, sizeof piece, format, args);
    va_end(args);
    if (k > 0) put(p, piece, std::min(static_cast<std::size_t>(k), sizeof piece - 1));
}

void put_number(HtmlPage& p, std::uint32_t value) {
    const Decimal digits(value);
    const std::string_view text = digits;
    put(p, text.data(), std::min<std::size_t>(text.size(), sizeof digits.digits));
}

constexpr std::string_view REPLACEMENT = "\xef\xbf\xbd";

// Text of the account's, escaped: what the index quotes.
void put_escaped(HtmlPage& p, const char* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == '&') {
            put(p, "&amp;");
        } else if (b == '<') {
            put(p, "&lt;");
        } else if (b == '>') {
            put(p, "&gt;");
        } else if (b < 0x20 || b == 0x7f) {
            put(p, REPLACEMENT);
        } else if (b >= 0x80) {
            std::uint32_t cp = 0;
            const std::size_t k =
                utf8_decode(reinterpret_cast<const std::uint8_t*>(bytes + i), n - i, cp);
            if (k == 0) {
                put(p, REPLACEMENT);
            } else {
                put(p, bytes + i, k);
                i += k - 1;
            }
        } else {
            put(p, bytes + i, 1);
        }
    }
}

// A pen colour as 0xRRGGBB, with the theme's first 16.
std::uint32_t pen_rgb(const HtmlPage& p, std::uint32_t color) {
    if (color >= PEN_RGB) return color & 0xffffff;
    const std::uint32_t index = color - 1;
    if (index < 16 && p.theme.n_palette != 0) return p.theme.palette[index % p.theme.n_palette];
    return xterm_rgb(index);
}

std::uint32_t default_fg(const HtmlPage& p) {
    return p.theme.has_fg ? p.theme.fg : PAGE_FG;
}

std::uint32_t default_bg(const HtmlPage& p) {
    return p.theme.has_bg ? p.theme.bg : PAGE_BG;
}

// Appends text to a fixed buffer, cut where it is full.
struct Builder {
    char* out;
    std::size_t cap;
    std::size_t n = 0;
    void add(std::string_view s) {
        const std::size_t k = std::min(s.size(), cap - 1 - n);
        std::memcpy(out + n, s.data(), k);
        n += k;
        out[n] = '\0';
    }
    void add_number(std::uint32_t v) { add(std::string_view(Decimal(v))); }
    void add_color(std::uint32_t rgb) {
        char text[8];
        hex_color(text, rgb);
        add({text, 7});
    }
};

void put_pen_style(HtmlPage& p) {
    if (p.pen_style_len == 0) return;
    put(p, "<style>");
    put(p, p.pen_style, p.pen_style_len);
    put(p, "</style>\n");
    p.pen_style_len = 0;
}

// One of the pen's colours: a class of the 256 (defined at its first use),
// or a declaration of its own for a colour of its own.
void pen_color(HtmlPage& p, Builder& classes, Builder& style, int plane, std::uint32_t color) {
    static constexpr char letters[] = {'f', 'g', 'c'};
    static constexpr std::string_view properties[] = {
        "color:", "background-color:", "text-decoration-color:"};
    if (color >= PEN_RGB) {
        style.add(properties[plane]);
        style.add_color(color & 0xffffff);
        style.add(";");
        return;
    }
    const std::uint32_t index = color - 1;
    classes.add(" ");
    classes.add({&letters[plane], 1});
    classes.add_number(index);
    std::uint64_t& bits = p.defined[plane][index / 64];
    if ((bits >> (index % 64) & 1) != 0) return;
    char rule[64];
    Builder r{rule, sizeof rule};
    r.add(".");
    r.add({&letters[plane], 1});
    r.add_number(index);
    r.add("{");
    r.add(properties[plane]);
    r.add_color(pen_rgb(p, color));
    r.add("}");
    if (p.pen_style_len + r.n >= PEN_STYLE_SIZE) put_pen_style(p);
    std::memcpy(p.pen_style + p.pen_style_len, rule, r.n);
    p.pen_style_len += r.n;
    bits |= std::uint64_t{1} << (index % 64);
}

// The element that opens text in the pen: classes of the page's style
// sheet for the colours of the 256 and the attributes, a declaration of
// its own for a colour of its own (numbers only).
void make_pen_open(HtmlPage& p) {
    const Pen& pen = p.pen;
    if (pen == Pen{}) {
        std::memcpy(p.pen_open, "<i>", 4);
        p.pen_open_len = 3;
        return;
    }
    char class_text[128];
    char style_text[128];
    Builder classes{class_text, sizeof class_text};
    Builder style{style_text, sizeof style_text};
    classes.add("p");
    std::uint32_t front = pen.fg;
    std::uint32_t back = pen.bg;
    if ((pen.flags & PEN_INVERSE) != 0) {
        // The default colours swapped have classes of their own.
        if (back == 0) classes.add(" fz");
        if (front == 0) classes.add(" gz");
        std::swap(front, back);
    }
    if (front != 0) pen_color(p, classes, style, 0, front);
    if (back != 0) pen_color(p, classes, style, 1, back);
    if ((pen.flags & PEN_BOLD) != 0) classes.add(" b");
    if ((pen.flags & PEN_DIM) != 0) classes.add(" d");
    if ((pen.flags & PEN_ITALIC) != 0) classes.add(" i");
    if ((pen.flags & PEN_HIDDEN) != 0) classes.add(" h");
    const unsigned lines = (pen.underline != UNDERLINE_NONE ? 1u : 0u) |
                           ((pen.flags & PEN_STRIKE) != 0 ? 2u : 0u) |
                           ((pen.flags & PEN_OVERLINE) != 0 ? 4u : 0u);
    if (lines != 0) {
        classes.add(" l");
        classes.add_number(lines);
    }
    if (pen.underline > UNDERLINE_SINGLE && pen.underline <= UNDERLINE_DASHED) {
        classes.add(" s");
        classes.add_number(pen.underline);
    }
    if (pen.underline != UNDERLINE_NONE && pen.underline_color != 0)
        pen_color(p, classes, style, 2, pen.underline_color);
    Builder open{p.pen_open, PEN_OPEN_SIZE};
    open.add("<i class=\"");
    open.add({class_text, classes.n});
    if (style.n != 0) {
        open.add("\" style=\"");
        open.add({style_text, style.n});
    }
    open.add("\">");
    p.pen_open_len = open.n;
}

void close_span(HtmlPage& p) {
    if (p.span == NO_COLOR) return;
    if (p.span_element) put(p, p.span == TEXT_COLOR ? std::string_view("</i>") : "</span>");
    p.span = NO_COLOR;
    p.span_element = false;
}

void open_span(HtmlPage& p, ColorKey key) {
    close_span(p);
    p.span = key;
    if (key == row_color[p.row]) return;  // the row's own colour
    p.span_element = true;
    if (key == TEXT_COLOR) {
        if (p.pen_style_len != 0) put_pen_style(p);
        put(p, p.pen_open, p.pen_open_len);
        return;
    }
    put(p, "<span class=k");
    const char digit = static_cast<char>('0' + key);
    put(p, &digit, 1);
    put(p, ">");
}

void close_group(HtmlPage& p) {
    if (!p.group_open) return;
    put(p, "</details>\n");
    p.group_open = false;
}

// The anchor of a painter's account line: "p" and its number, apart from
// the index's "x" anchors.
void put_painter_anchor(HtmlPage& p) {
    put(p, "<a id=p");
    put(p, p.held, p.held_len);
    put(p, "></a>");
    p.due &= static_cast<std::uint8_t>(~DUE_ANCHOR);
}

// A screen row's link to the line that changed it last: empty, its glyph
// the style sheet's, so that the row's text copies as the screen has it.
void put_painter_link(HtmlPage& p) {
    put(p, "<a class=r href=\"#p");
    put(p, p.painter, p.painter_len);
    put(p, "\" title=\"who changed this row last\"></a>");
    p.due &= static_cast<std::uint8_t>(~DUE_LINK);
}

void open_row(HtmlPage& p, RowKind row) {
    const bool in_group = p.group_open && (row == ROW_LABEL || row == ROW_DESCRIPTION);
    if (!in_group) close_group(p);
    if (p.pen_style_len != 0) put_pen_style(p);
    const RowTags& tags = row_tags[row];
    const bool input = (p.due & DUE_INPUT) != 0;
    put(p, input ? tags.open_input : tags.open);
    if (row == ROW_ESCAPE) p.group_open = true;
    if (input) put(p, "<span class=k8>&gt; </span>");
    if ((p.due & DUE_ANCHOR) != 0) put_painter_anchor(p);
    p.row_open = true;
    p.row = row;
    p.delay_len = 0;
    p.delay_spilled = false;
    p.head_len = 0;
    p.head_cap = input ? 0 : head_wanted[row];
    p.continued = NO_COLOR;
}

// The time since the start as the delay lines of extended mode give it:
// "1:20.502".
std::size_t format_time(char (&out)[TIME_SIZE], double seconds) {
    if (!(seconds >= 0.0) || seconds > 1e12) seconds = 0.0;
    const double minutes = std::floor(seconds / 60.0);
    double rest = seconds - minutes * 60.0;
    if (rest >= 59.9995) rest = 59.999;
    const int k = std::snprintf(out, sizeof out, "%.0f:%06.3f", minutes, rest);
    return k > 0 ? std::min(static_cast<std::size_t>(k), sizeof out - 1) : 0;
}

// A delay row: its text, a bar of a length that grows with the logarithm
// of the pause, and the time since the start: the row's own "at ..." (in
// extended mode), or the pauses added up.
void end_delay_row(HtmlPage& p) {
    std::string_view text(p.delay_text, p.delay_len);
    const char* number = p.delay_text;
    const char* end = p.delay_text + p.delay_len;
    while (number < end && (*number == ' ' || *number == '@')) ++number;
    char digits[DELAY_TEXT_SIZE];
    const std::size_t k = static_cast<std::size_t>(end - number);
    std::memcpy(digits, number, k);
    digits[k] = '\0';
    double delay = std::strtod(digits, nullptr);
    if (!(delay >= 0.0) || delay > 1e9) delay = 0.0;
    p.elapsed += delay;
    const std::size_t at = text.find(" at ");
    if (!p.delay_spilled) put_escaped(p, text.data(), std::min(at, text.size()));
    const int width = static_cast<int>(std::lround(2 + 60 * std::log10(1 + delay * 10)));
    put_format(p, "<span class=bar style=\"width:%dpx;\"></span><span class=at>", width);
    if (at != std::string_view::npos && !p.delay_spilled) {
        const std::string_view own = text.substr(at + 4);
        p.now_len = std::min(own.size(), TIME_SIZE - 1);
        std::memcpy(p.now, own.data(), p.now_len);
    } else {
        p.now_len = format_time(p.now, p.elapsed);
    }
    p.timed = true;
    put(p, "at ");
    put_escaped(p, p.now, p.now_len);
    put(p, "</span>");
}

// An entry of the index for the row that ends here, with its anchor.
Entry* add_entry(HtmlPage& p, Section section) {
    if (p.count[section] == section_capacity[section]) {
        ++p.missed[section];
        return nullptr;
    }
    Entry& e = p.entries[p.first[section] + p.count[section]++];
    e.anchor = ++p.anchors;
    e.time_len = static_cast<std::uint8_t>(p.timed ? p.now_len : 0);
    std::memcpy(e.time, p.now, e.time_len);
    put(p, "<a id=x");
    put_number(p, e.anchor);
    put(p, "></a>");
    return &e;
}

void entry_text(Entry& e, std::string_view text) {
    e.text_len = static_cast<std::uint8_t>(std::min(text.size(), HEAD_SIZE));
    std::memcpy(e.text, text.data(), e.text_len);
}

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The shell's prompt marks: OSC 133;A (FinalTerm's, which most shells
// write) and 633;A (VS Code's).
bool is_prompt(std::string_view head) {
    if (head.size() < 13 || head[2] != 'E' || !starts_with(head, ": Esc ] ")) return false;
    head.remove_prefix(8);
    if (!starts_with(head, "133;A") && !starts_with(head, "633;A")) return false;
    return head.size() == 5 || head[5] == ' ' || head[5] == ';';
}

std::uint32_t hash_of(std::string_view key) {
    std::uint32_t h = 2166136261u;
    for (const char c : key) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

// The first label line of each function: its name is the label up to ":".
void index_label(HtmlPage& p, std::string_view head) {
    if (!starts_with(head, "& ")) return;
    head.remove_prefix(2);
    const std::size_t colon = head.find(':');
    if (colon == std::string_view::npos || colon == 0) return;
    const std::string_view key = head.substr(0, colon);
    std::size_t slot = hash_of(key) & (FUNCTION_SLOTS - 1);
    for (; p.function_slots[slot] != 0; slot = (slot + 1) & (FUNCTION_SLOTS - 1)) {
        const Entry& e = p.entries[p.function_slots[slot] - 1];
        if (std::string_view(e.text, e.key_len) == key) return;
    }
    if (p.count[FUNCTIONS] == section_capacity[FUNCTIONS]) {
        ++p.missed[FUNCTIONS];
        return;
    }
    Entry* e = add_entry(p, FUNCTIONS);
    entry_text(*e, head);
    e->key_len = static_cast<std::uint8_t>(colon);
    p.function_slots[slot] =
        static_cast<std::uint16_t>(p.first[FUNCTIONS] + p.count[FUNCTIONS] - 1 + 1);
}

// What the index lists of the row that ends: its anchor goes in the row.
void index_row(HtmlPage& p, RowKind row, std::string_view head) {
    switch (row) {
        case ROW_ESCAPE:
            if (is_prompt(head)) {
                if (Entry* e = add_entry(p, PROMPTS)) entry_text(*e, head.substr(2));
            }
            return;
        case ROW_LABEL: index_label(p, head); return;
        case ROW_METADATA:
            if (starts_with(head, "# Marker: ")) {
                if (Entry* e = add_entry(p, MARKERS)) entry_text(*e, head.substr(10));
            }
            return;
        case ROW_PLAIN:
        case ROW_TEXT:
            if (starts_with(head, "= Screen ")) {
                if (Entry* e = add_entry(p, SCREENS)) entry_text(*e, head.substr(2));
            }
            return;
        default: return;
    }
}

void end_row(HtmlPage& p) {
    if (!p.row_open) return;
    close_span(p);
    if (p.row == ROW_DELAY) end_delay_row(p);
    if (p.head_len != 0) index_row(p, p.row, {p.head, p.head_len});
    if ((p.due & DUE_LINK) != 0) put_painter_link(p);
    put(p, row_tags[p.row].close);
    p.row_open = false;
    p.due &= static_cast<std::uint8_t>(~(DUE_INPUT | DUE_LINK));
}

inline void keep_head(HtmlPage& p, const char* bytes, std::size_t n) {
    if (p.head_len >= p.head_cap) return;
    const std::size_t k = std::min(n, p.head_cap - p.head_len);
    plain_output::put_any(p.head + p.head_len, {bytes, k});
    p.head_len += k;
}

void begin_content(HtmlPage& p) {
    const ColorKey continued = p.continued;
    open_row(p, continued != NO_COLOR ? row_of(continued) : ROW_PLAIN);
    if (continued != NO_COLOR) open_span(p, continued);
}

// Bytes of a row as the page writes them, already escaped; `raw` is what
// the account had (for the delay row and the index).
inline void row_bytes(HtmlPage& p, const char* raw, std::size_t raw_n, std::string_view page) {
    if (p.swallow) return;
    if (!p.row_open) begin_content(p);
    keep_head(p, raw, raw_n);
    if (p.row == ROW_DELAY && !p.delay_spilled) {
        if (p.delay_len + raw_n < DELAY_TEXT_SIZE) {
            std::memcpy(p.delay_text + p.delay_len, raw, raw_n);
            p.delay_len += raw_n;
            return;
        }
        // Longer than any pause: written as it comes.
        p.delay_spilled = true;
        put_escaped(p, p.delay_text, p.delay_len);
    }
    put(p, page);
}

// A run of bytes that stand for themselves.
inline void content_run(HtmlPage& p, const char* bytes, std::size_t n) {
    row_bytes(p, bytes, n, {bytes, n});
}

void utf8_abandon(HtmlPage& p) {
    if (p.utf8_need == 0) return;
    p.utf8_need = 0;
    p.utf8_len = 0;
    row_bytes(p, REPLACEMENT.data(), REPLACEMENT.size(), REPLACEMENT);
}

// A byte of content that is not known to be whole text: escaped for
// HTML, whole UTF-8 characters as they are, anything else as U+FFFD.
void content(HtmlPage& p, unsigned char b) {
    const char c = static_cast<char>(b);
    if (p.utf8_need != 0) {
        if (utf8_continues(p.utf8[0], static_cast<std::size_t>(p.utf8_len), b)) {
            p.utf8[p.utf8_len++] = b;
            if (--p.utf8_need == 0) {
                const auto* bytes = reinterpret_cast<const char*>(p.utf8);
                const auto n = static_cast<std::size_t>(p.utf8_len);
                p.utf8_len = 0;
                content_run(p, bytes, n);
            }
            return;
        }
        utf8_abandon(p);
    }
    switch (byte_classes[b]) {
        case PLAIN: content_run(p, &c, 1); return;
        case ENTITY:
            if (b == '&') {
                // Kept (opening the row, in its first bytes), and written
                // once the next byte is known.
                row_bytes(p, &c, 1, {});
                p.amp_pending = !p.swallow && (p.row != ROW_DELAY || p.delay_spilled);
                return;
            }
            row_bytes(p, &c, 1, b == '<' ? "&lt;" : "&gt;");
            return;
        case HIGH: {
            const int need = utf8_length(b) - 1;
            if (need > 0) {
                p.utf8[0] = b;
                p.utf8_len = 1;
                p.utf8_need = need;
                return;
            }
            break;
        }
        default: break;
    }
    row_bytes(p, REPLACEMENT.data(), REPLACEMENT.size(), REPLACEMENT);
}

// "&" before a blank begins no character reference and stays as it is
// (the label's mark); before anything else, or at the end, it is "&amp;".
void resolve_amp(HtmlPage& p, int next) {
    p.amp_pending = false;
    put(p, next == ' ' ? std::string_view("&") : "&amp;");
}

void newline(HtmlPage& p) {
    utf8_abandon(p);
    const ColorKey span = p.span;
    if (!p.row_open && (p.due & DUE_INPUT) == 0) {
        // A row of nothing: the summary's blank lines, were there any.
        open_row(p, ROW_PLAIN);
    }
    const bool escape = p.row_open && p.row == ROW_ESCAPE;
    end_row(p);
    p.due &= static_cast<std::uint8_t>(~DUE_INPUT);
    p.swallow = false;
    // A line of one kind that goes on after a line break within its colour
    // (a description of two rows) goes on in a row of the same kind; an
    // escape line has rows of one line only.
    p.continued = span != NO_COLOR && span != INPUT_MARK_COLOR && !escape ? span : NO_COLOR;
}

void key_mark(HtmlPage& p, ColorKey key) {
    if (key == INPUT_MARK_COLOR && !p.row_open) {
        p.due |= DUE_INPUT;
        p.swallow = true;
        p.continued = NO_COLOR;
        return;
    }
    if (!p.row_open) {
        p.continued = NO_COLOR;
        open_row(p, row_of(key));
    }
    open_span(p, key);
}

// The end of a colour: the open span closes.
void reset_mark(HtmlPage& p) {
    close_span(p);
    p.swallow = false;
}

// A number of the pen's mark, up to its ";" or "m".
std::uint32_t mark_number(const char*& s) {
    std::uint64_t v = 0;
    while (*s >= '0' && *s <= '9') {
        v = v * 10 + static_cast<std::uint64_t>(*s++ - '0');
        if (v > 0xffffffffu) v = 0xffffffffu;
    }
    if (*s == ';') ++s;
    return static_cast<std::uint32_t>(v);
}

void read_pen_mark(HtmlPage& p, const char* text) {
    const char* s = text + 1;  // past "="
    std::uint32_t v[5] = {};
    for (std::uint32_t& value : v) value = mark_number(s);
    if (*s != '\0') return;
    Pen pen;
    pen.fg = v[0] <= PEN_RGB + 0xffffff ? v[0] : 0;
    pen.bg = v[1] <= PEN_RGB + 0xffffff ? v[1] : 0;
    pen.flags = static_cast<std::uint16_t>(v[2]);
    pen.underline = static_cast<std::uint8_t>(v[3] <= UNDERLINE_DASHED ? v[3] : 0);
    pen.underline_color = v[4] <= PEN_RGB + 0xffffff ? v[4] : 0;
    // An index past the 256 is no colour.
    for (std::uint32_t* color : {&pen.fg, &pen.bg, &pen.underline_color}) {
        if (*color > 256 && *color < PEN_RGB) *color = 0;
    }
    if (pen == p.pen) return;
    p.pen = pen;
    make_pen_open(p);
}

// The marks of who changed the screen, "=a" or "=b" and a number: the
// place of a painter's account line, an anchor where the row or the group
// of a sequence's lines is open (else at the start of the next row); the
// painter of the screen row that follows, which links to that anchor at
// its end.
void read_painter_mark(HtmlPage& p) {
    const std::string_view number(p.mark + 2, p.mark_len - 2);
    if (number.empty() || number.size() > PAINTER_DIGITS ||
        number.find_first_not_of("0123456789") != std::string_view::npos ||
        number.find_first_not_of('0') == std::string_view::npos)
        return;
    if (p.mark[1] == 'b') {
        if (!p.painter_style) {
            p.painter_style = true;
            put(p,
                "<style>.r{margin-left:1ch;color:#707070;text-decoration:none}"
                ".r::after{content:\"\\2196\"}.r:hover{color:#80a0ff}"
                "a[id^=p]{scroll-margin-top:30vh}"
                ":is(p,u,div,details):has(a[id^=p]:target){outline:1px dashed #80a0ff}"
                "</style>\n");
        }
        std::memcpy(p.painter, number.data(), number.size());
        p.painter_len = number.size();
        p.due |= DUE_LINK;
        return;
    }
    // An anchor already waiting (two painters between rows) stays where it came.
    if ((p.due & DUE_ANCHOR) != 0) put_painter_anchor(p);
    std::memcpy(p.held, number.data(), number.size());
    p.held_len = number.size();
    p.due |= DUE_ANCHOR;
    // A sequence's mark comes after its lines: the anchor ends its group.
    if (p.row_open || p.group_open) put_painter_anchor(p);
}

// The mark read after ESC "[", up to its "m".
void end_mark(HtmlPage& p) {
    p.mark[p.mark_len] = '\0';
    if (p.mark_len == 0) {
        reset_mark(p);
        return;
    }
    if (p.mark[0] == '=') {
        if (p.mark[1] == 'a' || p.mark[1] == 'b') {
            read_painter_mark(p);
        } else {
            read_pen_mark(p, p.mark);
        }
        return;
    }
    const char* letter = std::strchr(MARK_LETTERS, p.mark[0]);
    if (p.mark_len == 1 && letter != nullptr)
        key_mark(p, static_cast<ColorKey>(letter - MARK_LETTERS));
}

void feed_byte(HtmlPage& p, unsigned char b) {
    switch (p.state) {
        case HtmlPage::IN_TEXT:
            if (b == ESC) {
                utf8_abandon(p);
                p.state = HtmlPage::AFTER_ESC;
            } else if (b == '\n') {
                newline(p);
            } else {
                content(p, b);
            }
            return;
        case HtmlPage::AFTER_ESC:
            if (b == '[') {
                p.state = HtmlPage::IN_MARK;
                p.mark_len = 0;
                return;
            }
            // What is not a mark after all: the ESC as U+FFFD.
            p.state = HtmlPage::IN_TEXT;
            content(p, ESC);
            feed_byte(p, b);
            return;
        case HtmlPage::IN_MARK:
            if (b == 'm') {
                p.state = HtmlPage::IN_TEXT;
                end_mark(p);
                return;
            }
            if (p.mark_len + 1 < MARK_SIZE &&
                ((b >= '0' && b <= ';') || b == '=' || (b >= 'a' && b <= 'i'))) {
                p.mark[p.mark_len++] = static_cast<char>(b);
                return;
            }
            p.state = HtmlPage::IN_TEXT;
            content(p, ESC);
            content(p, '[');
            for (std::size_t i = 0; i < p.mark_len; ++i)
                content(p, static_cast<unsigned char>(p.mark[i]));
            feed_byte(p, b);
            return;
    }
}

// The SGR parameters of a colour of the palette ("36;7").
std::size_t palette_values(const ColorValue& color, Parameter (&values)[32]) {
    std::size_t n = 0;
    Parameter v;
    for (std::uint32_t i = 0; i <= color.len && n < std::size(values); ++i) {
        const char c = i < color.len ? color.text[i] : ';';
        if (c >= '0' && c <= '9') {
            v.value = v.value * 10 + static_cast<std::uint32_t>(c - '0');
            v.present = true;
        } else if (c == ';' || c == ':') {
            v.ended_by = static_cast<std::uint8_t>(c);
            values[n++] = v;
            v = Parameter{};
        }
    }
    return n;
}

// The index, after the account: the style sheet shows it at the top.
void write_index(HtmlPage& p) {
    std::size_t total = 0;
    for (std::size_t s = 0; s < N_SECTIONS; ++s) total += p.count[s] + p.missed[s];
    if (total == 0) return;
    put(p, "<nav>\n");
    for (std::size_t s = 0; s < N_SECTIONS; ++s) {
        if (p.count[s] + p.missed[s] == 0) continue;
        put_format(p, "<details open><summary>%s: %llu</summary>\n<ol>\n", section_names[s],
                   static_cast<unsigned long long>(p.count[s] + p.missed[s]));
        for (std::size_t i = 0; i < p.count[s]; ++i) {
            const Entry& e = p.entries[p.first[s] + i];
            put(p, "<li><a href=\"#x");
            put_number(p, e.anchor);
            put(p, "\">");
            if (e.text_len != 0) {
                put_escaped(p, e.text, e.text_len);
            } else {
                put(p, "(no label)");
            }
            put(p, "</a>");
            if (e.time_len != 0) {
                put(p, " <span class=at>at ");
                put_escaped(p, e.time, e.time_len);
                put(p, "</span>");
            }
            put(p, "</li>\n");
        }
        put(p, "</ol>\n");
        if (p.missed[s] != 0)
            put_format(p, "<div>and %llu more, not listed</div>\n",
                       static_cast<unsigned long long>(p.missed[s]));
        put(p, "</details>\n");
    }
    put(p, "</nav>\n");
}

// The length of the run of bytes that stand for themselves at the start of
// bytes[0, n), sixteen bytes at a time.
std::size_t plain_run(const std::uint8_t* bytes, std::size_t n) {
    return byte_run(
        bytes, n,
        [](ByteBlock block) {
            // Below 0x20 or above 0x7e in one comparison; "<" and ">" in another.
            const ByteBlock shifted = block - 0x20;
            return (shifted > 0x5e) | (block == '&') | ((block | 2) == '>');
        },
        [](std::uint8_t b) { return byte_classes[b] == PLAIN; });
}

// Whole rows of the commonest forms, when the batch holds them: a record
// of one colour (control, escape, label, description) and a text line in
// one piece, written as the marks would write them one by one. Where the
// row turns out to hold anything else (a character that is not ASCII, the
// batch's end), what was written is taken back and the row goes the
// general way; 0 then, otherwise the index after the row.
constexpr std::string_view TEXT_OPEN = "\x1b[bm|\x1b[m\x1b[am";
constexpr std::string_view TEXT_CLOSE = "\x1b[m\x1b[bm|";

// Escaped content up to the first byte that is neither plain nor an
// entity's; false when the page's buffer might not hold it.
inline bool put_simple(HtmlPage& p, const std::uint8_t* u, std::size_t& j, std::size_t n) {
    for (;;) {
        const std::size_t run = plain_run(u + j, n - j);
        if (run + 8 > PAGE_BUFFER_SIZE - p.n) return false;
        plain_output::put_any(p.out + p.n, {reinterpret_cast<const char*>(u + j), run});
        p.n += run;
        j += run;
        if (j == n || byte_classes[u[j]] != ENTITY) return true;
        // As resolve_amp writes it; at the batch's end, the general way.
        if (u[j] == '&' && j + 1 == n) return false;
        const std::string_view entity = u[j] == '&'   ? u[j + 1] == ' ' ? "&" : "&amp;"
                                        : u[j] == '<' ? "&lt;"
                                                      : "&gt;";
        plain_output::put_any(p.out + p.n, entity);
        p.n += entity.size();
        ++j;
    }
}

inline bool at(const std::uint8_t* u, std::size_t j, std::size_t n, std::string_view text) {
    return n - j >= text.size() && std::memcmp(u + j, text.data(), text.size()) == 0;
}

// What a row taken back puts back.
struct Undo {
    std::size_t n;
    bool group_open;
    std::size_t pen_style_len;
    std::size_t back(HtmlPage& p) const {
        p.n = n;
        p.group_open = group_open;
        p.pen_style_len = pen_style_len;
        return 0;
    }
};

// Room for what a row writes before its content (the end of a group, the
// rules of the pen, the row's element, the pen's), so that nothing is
// flushed before the row can be taken back.
constexpr std::size_t FAST_ROW_ROOM = 1024;
static_assert(FAST_ROW_ROOM > 16 + PEN_STYLE_SIZE + 16 + 64 + PEN_OPEN_SIZE);

std::size_t fast_row(HtmlPage& p, const std::uint8_t* u, std::size_t i, std::size_t n) {
    if (FAST_ROW_ROOM > PAGE_BUFFER_SIZE - p.n) return 0;
    const Undo undo{p.n, p.group_open, p.pen_style_len};
    const std::uint8_t key = u[i + 2];
    std::size_t j = i + 4;
    if (key == 'b') {
        // A text line: its bars in the row's colour, its text in the pen.
        if (!at(u, i, n, TEXT_OPEN)) return 0;
        j = i + TEXT_OPEN.size();
        close_group(p);
        if (p.pen_style_len != 0) put_pen_style(p);
        put(p, "<p>|");
        put(p, p.pen_open, p.pen_open_len);
        if (!put_simple(p, u, j, n) || !at(u, j, n, TEXT_CLOSE)) return undo.back(p);
        j += TEXT_CLOSE.size();
        put(p, "</i>|");
        const std::size_t tail = plain_run(u + j, n - j);
        if (tail > 8 || !at(u, j + tail, n, "\x1b[m\n")) return undo.back(p);
        put(p, {reinterpret_cast<const char*>(u + j), tail});
        put(p, "</p>\n");
        p.continued = NO_COLOR;
        return j + tail + 4;
    }
    const auto key_index = static_cast<std::size_t>(key - 'a');
    const RowKind row = row_of(static_cast<ColorKey>(key_index));
    const bool in_group = p.group_open && (row == ROW_LABEL || row == ROW_DESCRIPTION);
    if (!in_group) close_group(p);
    if (p.pen_style_len != 0) put_pen_style(p);
    put(p, row_tags[row].open);
    if (!put_simple(p, u, j, n)) return undo.back(p);
    const bool ended = at(u, j, n, "\x1b[m\n");
    if (!ended && (row == ROW_ESCAPE || j == n || u[j] != '\n')) return undo.back(p);
    if (head_wanted[row] != 0) {
        const std::size_t len = std::min(j - (i + 4), HEAD_SIZE);
        index_row(p, row, {reinterpret_cast<const char*>(u + i + 4), len});
    }
    put(p, row_tags[row].close);
    if (row == ROW_ESCAPE) p.group_open = true;
    // A control line is ended by the next line without a reset: a row
    // without a mark after it would go on in its colour.
    p.continued = ended ? NO_COLOR : static_cast<ColorKey>(key_index);
    return j + (ended ? 4 : 1);
}

// The page's fast path: a run of bytes that stand for themselves, and the
// commonest marks (a colour key's, the reset) whole in the batch.
std::size_t feed_fast(HtmlPage& p, const char* bytes, std::size_t i, std::size_t n) {
    const auto* u = reinterpret_cast<const unsigned char*>(bytes);
    const std::size_t run = i + plain_run(u + i, n - i);
    if (run != i) {
        content_run(p, bytes + i, run - i);
        return run;
    }
    switch (byte_classes[u[i]]) {
        case MARK:
            if (i + 3 < n && u[i + 1] == '[' && u[i + 3] == 'm' && !p.row_open && p.due == 0 &&
                u[i + 2] >= 'b' && u[i + 2] <= 'f') {
                if (const std::size_t end = fast_row(p, u, i, n); end != 0) return end;
            }
            if (i + 2 < n && u[i + 1] == '[') {
                if (u[i + 2] == 'm') {
                    reset_mark(p);
                    return i + 3;
                }
                if (i + 3 < n && u[i + 3] == 'm' && u[i + 2] >= 'a' && u[i + 2] <= 'i') {
                    key_mark(p, static_cast<ColorKey>(u[i + 2] - 'a'));
                    return i + 4;
                }
            }
            break;
        case NEWLINE: newline(p); return i + 1;
        case ENTITY:
            // "& " begins no character reference: the label's mark stays as it is.
            if (u[i] == '&' && i + 1 < n && u[i + 1] == ' ' && !p.swallow) {
                content_run(p, bytes + i, 1);
                return i + 1;
            }
            break;
        case HIGH: {
            std::uint32_t cp = 0;
            const std::size_t k = utf8_decode(u + i, n - i, cp);
            if (k != 0) {
                content_run(p, bytes + i, k);
                return i + k;
            }
            break;
        }
        default: break;
    }
    feed_byte(p, u[i]);
    return i + 1;
}

}  // namespace

void html_mark_palette(Palette& palette) {
    for (std::size_t key = 0; key < N_COLOR_KEYS; ++key)
        palette.colors[key] = {MARK_LETTERS + key, 1};
}

HtmlPage* html_page_new(const Palette& colors, PageWrite write, void* arg) {
    auto* p = allocate_record<HtmlPage>();
    if (p == nullptr) return nullptr;
    p->write = write;
    p->arg = arg;
    for (std::size_t key = 0; key < N_COLOR_KEYS; ++key) {
        Parameter values[32];
        const std::size_t n = palette_values(colors.colors[key], values);
        Pen pen;
        if (n != 0) pen_apply(pen, values, n, true);
        palette_css(p->css[key], CSS_SIZE, pen);
    }
    std::size_t first = 0;
    for (std::size_t s = 0; s < N_SECTIONS; ++s) {
        p->first[s] = first;
        first += section_capacity[s];
    }
    return p;
}

void html_page_free(HtmlPage* p) {
    release_record(p);
}

void html_page_set_theme(HtmlPage& p, const Theme& theme) {
    p.theme = theme;
}

void html_page_general_paths(HtmlPage& p) {
    p.general = true;
}

void html_page_set_input(HtmlPage& p, const char* program_name, std::uint64_t input_size) {
    p.program_name = program_name;
    p.input_size = input_size;
}

void html_page_begin(HtmlPage& p) {
    if (p.begun) return;
    p.begun = true;
    char fg[8], bg[8], page_fg[8], page_bg[8];
    hex_color(fg, default_fg(p));
    hex_color(bg, default_bg(p));
    hex_color(page_fg, PAGE_FG);
    hex_color(page_bg, PAGE_BG);
    put(p,
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"color-scheme\" content=\"dark\">\n"
        "<meta name=\"generator\" content=\"vorsk " VORSK_VERSION
        "\">\n"
        "<title>vorsk account</title>\n<style>\n");
    put_format(p,
               "body{background:%s;color:%s;margin:1em;display:flex;flex-direction:column;"
               "font:14px/1.35 ui-monospace,'DejaVu Sans Mono',monospace}\n",
               page_bg, page_fg);
    // Each kind of row is an element of its own, drawn as a block of
    // preformatted text whatever that element looks like by itself.
    put(p,
        "main{display:block}\n"
        "main div,p,u,b,q,summary{display:block;white-space:pre-wrap;overflow-wrap:anywhere;"
        "margin:0}\n"
        "summary{display:list-item;cursor:pointer}\n"
        "main summary{margin-left:1em}\n"
        "main u,b,q{font:inherit;text-decoration:none;color:inherit}\n"
        "q::before,q::after{content:none}\n"
        "details{margin:0}\n"
        "main details>b,main details>q{padding-left:1.2em}\n");
    put_format(p, "i{font:inherit;text-decoration:none;color:%s}\n", page_fg);
    put_format(p,
               ".p{color:%s;background-color:%s}\n"
               ".fz{color:%s}\n.gz{background-color:%s}\n",
               fg, bg, bg, fg);
    put(p,
        ".b{font-weight:bold}\n.d{opacity:0.6}\n.i{font-style:italic}\n.h{opacity:0.3}\n"
        ".l1{text-decoration-line:underline}\n.l2{text-decoration-line:line-through}\n"
        ".l3{text-decoration-line:underline line-through}\n"
        ".l4{text-decoration-line:overline}\n.l5{text-decoration-line:underline overline}\n"
        ".l6{text-decoration-line:line-through overline}\n"
        ".l7{text-decoration-line:underline line-through overline}\n"
        ".s2{text-decoration-style:double}\n.s3{text-decoration-style:wavy}\n"
        ".s4{text-decoration-style:dotted}\n.s5{text-decoration-style:dashed}\n"
        ".w .bar{display:inline-block;height:0.6em;margin:0 0.6em;vertical-align:middle;"
        "background:#4060c0}\n"
        "nav{order:-1;margin-bottom:1em;padding-bottom:0.5em;border-bottom:1px solid #404040}\n"
        "nav ol{margin:0 0 0.5em 0}\n"
        "nav a{color:#80a0ff}\n");
    put_format(p, ".at{opacity:0.7;color:%s}\n", page_fg);
    for (std::size_t key = 0; key < N_COLOR_KEYS; ++key)
        put_format(p, "%s{%s}\n", key_selectors[key], p.css[key]);
    put(p, "</style>\n</head>\n<body>\n<main>\n");
    flush(p);
}

void html_page_feed(HtmlPage& p, const char* bytes, std::size_t n) {
    if (!p.begun) html_page_begin(p);
    for (std::size_t i = 0; i < n;) {
        if (p.amp_pending) resolve_amp(p, static_cast<unsigned char>(bytes[i]));
        if (p.state == HtmlPage::IN_TEXT && p.utf8_need == 0 && !p.general) {
            i = feed_fast(p, bytes, i, n);
        } else {
            feed_byte(p, static_cast<unsigned char>(bytes[i++]));
        }
    }
    flush(p);
}

void html_page_end(HtmlPage& p) {
    if (!p.begun) html_page_begin(p);
    if (p.amp_pending) resolve_amp(p, -1);
    if (p.state != HtmlPage::IN_TEXT) feed_byte(p, '\n');
    utf8_abandon(p);
    end_row(p);
    if ((p.due & DUE_ANCHOR) != 0) put_painter_anchor(p);
    close_group(p);
    put(p, "</main>\n");
    write_index(p);
    put(p, "</body>\n</html>\n");
    flush(p);
}

void html_page_filter_feed(void* page, const char* bytes, std::size_t n) {
    html_page_feed(*static_cast<HtmlPage*>(page), bytes, n);
}

void html_page_filter_end(void* page) {
    html_page_end(*static_cast<HtmlPage*>(page));
}

}  // namespace vorsk
