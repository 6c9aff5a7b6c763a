#include "report/html.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "allocation.h"
#include "common.h"
#include "text/utf8.h"

namespace vorsk {
namespace {

constexpr char ESC = 0x1b;

// The page's own colours, which the pen's defaults are too.
constexpr const char* PAGE_FG = "#d0d0d0";
constexpr const char* PAGE_BG = "#101010";

// The letters of the palette of marks, one per colour key.
constexpr char MARK_LETTERS[] = "abcdefghi";
static_assert(sizeof MARK_LETTERS - 1 == N_COLOR_KEYS, "one letter per colour key");

// The 16 colours of xterm's defaults, then the 6x6x6 cube and the greys.
void index_rgb(std::uint32_t index, int& r, int& g, int& b) {
    static constexpr int base[16][3] = {
        {0, 0, 0},       {205, 0, 0},   {0, 205, 0},   {205, 205, 0},
        {0, 0, 238},     {205, 0, 205}, {0, 205, 205}, {229, 229, 229},
        {127, 127, 127}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
        {92, 92, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
    };
    if (index < 16) {
        r = base[index][0];
        g = base[index][1];
        b = base[index][2];
    } else if (index < 232) {
        static constexpr int level[6] = {0, 95, 135, 175, 215, 255};
        const std::uint32_t c = index - 16;
        r = level[c / 36];
        g = level[c / 6 % 6];
        b = level[c % 6];
    } else {
        r = g = b = 8 + 10 * static_cast<int>(index - 232);
    }
}

// "#rrggbb" of a pen colour that is not the default.
void color_text(char (&out)[8], std::uint32_t color) {
    int r = 0, g = 0, b = 0;
    if (color >= PEN_RGB) {
        r = static_cast<int>(color >> 16 & 0xff);
        g = static_cast<int>(color >> 8 & 0xff);
        b = static_cast<int>(color & 0xff);
    } else {
        index_rgb(color - 1, r, g, b);
    }
    std::snprintf(out, sizeof out, "#%02x%02x%02x", static_cast<unsigned>(r),
                  static_cast<unsigned>(g), static_cast<unsigned>(b));
}

// The CSS declarations of a pen, over the page's colours.
void pen_css(char* out, std::size_t cap, const Pen& pen) {
    char fg[8] = {}, bg[8] = {};
    if (pen.fg != 0) color_text(fg, pen.fg);
    if (pen.bg != 0) color_text(bg, pen.bg);
    const char* front = pen.fg != 0 ? fg : nullptr;
    const char* back = pen.bg != 0 ? bg : nullptr;
    if ((pen.flags & PEN_INVERSE) != 0) {
        const char* swap = front;
        front = back != nullptr ? back : PAGE_BG;
        back = swap != nullptr ? swap : PAGE_FG;
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
        color_text(uc, pen.underline_color);
        add("text-decoration-color:", uc, ";");
    }
}

// An extended colour at values[i] (38, 48 or 58): the colour, and the
// index of its last part.
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
constexpr const char* row_classes[] = {"pl", "tl", "cl", "el", "ll", "dl", "wl", "ml"};

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

constexpr std::size_t CSS_SIZE = 256;
constexpr std::size_t PAGE_BUFFER_SIZE = 16 * 1024;
constexpr std::size_t MARK_SIZE = 64;
constexpr std::size_t DELAY_TEXT_SIZE = 32;

}  // namespace

struct HtmlPage {
    PageWrite write = nullptr;
    void* arg = nullptr;
    char css[N_COLOR_KEYS][CSS_SIZE] = {};
    char out[PAGE_BUFFER_SIZE] = {};
    std::size_t n = 0;
    // A mark being read: ESC, "[", up to "m".
    enum { IN_TEXT, AFTER_ESC, IN_MARK } state = IN_TEXT;
    char mark[MARK_SIZE] = {};
    std::size_t mark_len = 0;
    // The row being written.
    bool row_open = false;
    RowKind row = ROW_PLAIN;
    bool input = false;             // the row began with the input mark
    bool swallow = false;           // the input mark's own text, which the row writes itself
    ColorKey span = NO_COLOR;       // the open span's key
    ColorKey continued = NO_COLOR;  // a line of several rows goes on in this key
    bool group_open = false;
    Pen pen;
    char delay_text[DELAY_TEXT_SIZE] = {};
    std::size_t delay_len = 0;
    double elapsed = 0.0;
    // A UTF-8 character being read.
    unsigned char utf8[4] = {};
    int utf8_len = 0;
    int utf8_need = 0;
};

namespace {

void flush(HtmlPage& p) {
    if (p.n != 0) p.write(p.arg, p.out, p.n);
    p.n = 0;
}

void put(HtmlPage& p, const char* bytes, std::size_t n) {
    while (n != 0) {
        if (p.n == PAGE_BUFFER_SIZE) flush(p);
        const std::size_t k = std::min(n, PAGE_BUFFER_SIZE - p.n);
        std::memcpy(p.out + p.n, bytes, k);
        p.n += k;
        bytes += k;
        n -= k;
    }
}

void put(HtmlPage& p, const char* text) {
    put(p, text, std::strlen(text));
}

VORSK_PRINTF(2, 3) void put_format(HtmlPage& p, const char* format, ...) {
    char piece[512];
    std::va_list args;
    va_start(args, format);
    const int k = std::vsnprintf(piece, sizeof piece, format, args);
    va_end(args);
    if (k > 0) put(p, piece, std::min(static_cast<std::size_t>(k), sizeof piece - 1));
}

constexpr const char* REPLACEMENT = "\xef\xbf\xbd";

void close_span(HtmlPage& p) {
    if (p.span == NO_COLOR) return;
    put(p, "</span>");
    p.span = NO_COLOR;
}

void open_span(HtmlPage& p, ColorKey key) {
    close_span(p);
    p.span = key;
    if (key == TEXT_COLOR && !(p.pen == Pen{})) {
        char style[CSS_SIZE];
        pen_css(style, sizeof style, p.pen);
        // The style is made of numbers and fixed words only.
        put_format(p, "<span class=\"c0 pen\" style=\"%s\">", style);
        return;
    }
    put_format(p, "<span class=\"c%d\">", static_cast<int>(key));
}

void close_group(HtmlPage& p) {
    if (!p.group_open) return;
    put(p, "</details>\n");
    p.group_open = false;
}

void open_row(HtmlPage& p, RowKind row) {
    const bool in_group = p.group_open && (row == ROW_LABEL || row == ROW_DESCRIPTION);
    if (row == ROW_ESCAPE) {
        close_group(p);
        put(p, "<details open class=\"group\"><summary class=\"l el");
        p.group_open = true;
    } else {
        if (!in_group) close_group(p);
        put_format(p, "<div class=\"l %s", row_classes[row]);
    }
    put(p, p.input ? " in\">" : "\">");
    if (p.input) put_format(p, "<span class=\"c%d\">&gt; </span>", INPUT_MARK_COLOR);
    p.row_open = true;
    p.row = row;
    p.delay_len = 0;
    p.continued = NO_COLOR;
}

// The pause of a delay row as a bar of a length that grows with its
// logarithm, and the time elapsed at its end.
void end_delay_row(HtmlPage& p) {
    p.delay_text[p.delay_len] = '\0';
    const char* number = p.delay_text;
    while (*number == ' ' || *number == '@') ++number;
    double delay = std::strtod(number, nullptr);
    if (!(delay >= 0.0) || delay > 1e9) delay = 0.0;
    p.elapsed += delay;
    const int width = static_cast<int>(std::lround(2 + 60 * std::log10(1 + delay * 10)));
    put_format(p,
               "<span class=\"bar\" style=\"width:%dpx;\"></span><span class=\"at\">%.3f s</span>",
               width, p.elapsed);
}

void end_row(HtmlPage& p) {
    if (!p.row_open) return;
    close_span(p);
    if (p.row == ROW_DELAY) end_delay_row(p);
    put(p, p.row == ROW_ESCAPE ? "</summary>\n" : "</div>\n");
    p.row_open = false;
    p.input = false;
}

// A content byte that is known to be whole text: escaped for HTML.
void put_text_byte(HtmlPage& p, unsigned char b) {
    switch (b) {
        case '&': put(p, "&amp;"); return;
        case '<': put(p, "&lt;"); return;
        case '>': put(p, "&gt;"); return;
        case '"': put(p, "&quot;"); return;
        case '\'': put(p, "&#39;"); return;
        default: break;
    }
    if (b < 0x20 || b == 0x7f) {
        put(p, REPLACEMENT);
        return;
    }
    const char c = static_cast<char>(b);
    put(p, &c, 1);
}

void utf8_abandon(HtmlPage& p) {
    if (p.utf8_need == 0) return;
    p.utf8_need = 0;
    p.utf8_len = 0;
    put(p, REPLACEMENT);
}

// Content bytes: whole UTF-8 characters go out as they are, anything else
// as U+FFFD. (The account holds no overlong form or surrogate: the decoder
// made those items.)
void put_content(HtmlPage& p, unsigned char b) {
    if (p.utf8_need != 0) {
        if ((b & 0xc0) == 0x80) {
            p.utf8[p.utf8_len++] = b;
            if (--p.utf8_need == 0) {
                put(p, reinterpret_cast<const char*>(p.utf8), static_cast<std::size_t>(p.utf8_len));
                p.utf8_len = 0;
            }
            return;
        }
        utf8_abandon(p);
    }
    if (b < 0x80) {
        put_text_byte(p, b);
        return;
    }
    const int need = utf8_length(b) - 1;
    if (need < 0) {
        put(p, REPLACEMENT);
        return;
    }
    p.utf8[0] = b;
    p.utf8_len = 1;
    p.utf8_need = need;
}

void content(HtmlPage& p, unsigned char b) {
    if (p.swallow) return;
    if (!p.row_open) {
        const ColorKey continued = p.continued;
        open_row(p, continued != NO_COLOR ? row_of(continued) : ROW_PLAIN);
        if (continued != NO_COLOR) open_span(p, continued);
    }
    if (p.row == ROW_DELAY && p.delay_len + 1 < DELAY_TEXT_SIZE)
        p.delay_text[p.delay_len++] = static_cast<char>(b);
    put_content(p, b);
}

void newline(HtmlPage& p) {
    utf8_abandon(p);
    const ColorKey span = p.span;
    if (!p.row_open && !p.input) {
        // A row of nothing: the summary's blank lines, were there any.
        open_row(p, ROW_PLAIN);
    }
    const bool escape = p.row_open && p.row == ROW_ESCAPE;
    end_row(p);
    p.input = false;
    p.swallow = false;
    // A line of one kind that goes on after a line break within its colour
    // (a description of two rows) goes on in a row of the same kind; an
    // escape line has rows of one line only.
    p.continued = span != NO_COLOR && span != INPUT_MARK_COLOR && !escape ? span : NO_COLOR;
}

void key_mark(HtmlPage& p, ColorKey key) {
    if (key == INPUT_MARK_COLOR && !p.row_open) {
        p.input = true;
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

void read_pen_mark(HtmlPage& p, const char* text) {
    std::uint32_t v[5] = {};
    if (std::sscanf(text, "=%u;%u;%u;%u;%u", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5) return;
    p.pen.fg = v[0] < PEN_RGB * 2 ? v[0] : 0;
    p.pen.bg = v[1] < PEN_RGB * 2 ? v[1] : 0;
    p.pen.flags = static_cast<std::uint16_t>(v[2]);
    p.pen.underline = static_cast<std::uint8_t>(v[3] <= UNDERLINE_DASHED ? v[3] : 0);
    p.pen.underline_color = v[4] < PEN_RGB * 2 ? v[4] : 0;
}

// The mark read after ESC "[", up to its "m".
void end_mark(HtmlPage& p) {
    p.mark[p.mark_len] = '\0';
    if (p.mark_len == 0) {
        close_span(p);
        p.swallow = false;
        return;
    }
    if (p.mark[0] == '=') {
        read_pen_mark(p, p.mark);
        return;
    }
    const char* letter = std::strchr(MARK_LETTERS, p.mark[0]);
    if (p.mark_len == 1 && letter != nullptr)
        key_mark(p, static_cast<ColorKey>(letter - MARK_LETTERS));
}

// What is not a mark after all: its bytes as text, the ESC as U+FFFD.
void not_a_mark(HtmlPage& p, const char* bytes, std::size_t n) {
    content(p, 0x1b);
    for (std::size_t i = 0; i < n; ++i) content(p, static_cast<unsigned char>(bytes[i]));
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
            p.state = HtmlPage::IN_TEXT;
            not_a_mark(p, nullptr, 0);
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
            content(p, 0x1b);
            content(p, '[');
            for (std::size_t i = 0; i < p.mark_len; ++i)
                content(p, static_cast<unsigned char>(p.mark[i]));
            feed_byte(p, b);
            return;
    }
}

// A byte that stands for itself on the page.
constexpr bool is_plain(unsigned char b) {
    return b >= 0x20 && b < 0x7f && b != '&' && b != '<' && b != '>' && b != '"' && b != '\'';
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
        pen_css(p->css[key], CSS_SIZE, pen);
    }
    return p;
}

void html_page_begin(HtmlPage& p) {
    put(p,
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"color-scheme\" content=\"dark\">\n"
        "<meta name=\"generator\" content=\"vorsk " VORSK_VERSION
        "\">\n"
        "<title>vorsk account</title>\n<style>\n");
    put_format(p,
               "body{background:%s;color:%s;margin:1em;"
               "font:14px/1.35 ui-monospace,'DejaVu Sans Mono',monospace}\n",
               PAGE_BG, PAGE_FG);
    put(p,
        ".account{display:block}\n"
        ".l{white-space:pre-wrap;overflow-wrap:anywhere;margin:0}\n"
        "details.group{margin:0}\n"
        "details.group>summary{cursor:pointer}\n"
        "details.group>.l{padding-left:1.2em}\n");
    put_format(p, ".pen{color:%s;background-color:%s}\n", PAGE_FG, PAGE_BG);
    put(p,
        ".wl .bar{display:inline-block;height:0.6em;margin:0 0.6em;vertical-align:middle;"
        "background:#4060c0}\n"
        ".wl .at{opacity:0.7}\n");
    for (std::size_t key = 0; key < N_COLOR_KEYS; ++key)
        put_format(p, ".c%zu{%s}\n", key, p.css[key]);
    put(p, "</style>\n</head>\n<body>\n<main class=\"account\">\n");
    flush(p);
}

void html_page_feed(HtmlPage& p, const char* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n;) {
        // Most of an open row is text that needs no escape: it goes out in
        // one piece.
        if (p.state == HtmlPage::IN_TEXT && p.row_open && !p.swallow && p.utf8_need == 0 &&
            p.row != ROW_DELAY) {
            std::size_t run = i;
            while (run < n && is_plain(static_cast<unsigned char>(bytes[run]))) ++run;
            if (run != i) {
                put(p, bytes + i, run - i);
                i = run;
                continue;
            }
        }
        feed_byte(p, static_cast<unsigned char>(bytes[i++]));
    }
    flush(p);
}

void html_page_end(HtmlPage& p) {
    if (p.state != HtmlPage::IN_TEXT) feed_byte(p, '\n');
    utf8_abandon(p);
    end_row(p);
    close_group(p);
    put(p, "</main>\n</body>\n</html>\n");
    flush(p);
}

void html_page_filter_feed(void* page, const char* bytes, std::size_t n) {
    html_page_feed(*static_cast<HtmlPage*>(page), bytes, n);
}

void html_page_filter_end(void* page) {
    html_page_end(*static_cast<HtmlPage*>(page));
}

}  // namespace vorsk
