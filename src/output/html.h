// --html: the account as a self-contained HTML page. The writer composes
// the account as usual, unwrapped and coloured with a palette of marks (one
// letter per colour key), and hands each batch of output to the page, which
// turns the marks into elements as it streams: each line a row styled by
// its kind, an escape line with its label and descriptions a group that
// folds, the text of a text line in the attributes that the stream itself
// set (the pen, given by marks of its own), delay lines on a time line.
// Every other byte is escaped, so nothing from the input becomes markup.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/colors.h"

namespace vorsk {

// The attributes the stream set for the text that follows.
enum PenFlag : std::uint16_t {
    PEN_BOLD = 1u << 0,
    PEN_DIM = 1u << 1,
    PEN_ITALIC = 1u << 2,
    PEN_INVERSE = 1u << 3,
    PEN_STRIKE = 1u << 4,
    PEN_OVERLINE = 1u << 5,
    PEN_BLINK = 1u << 6,
    PEN_HIDDEN = 1u << 7,
};

enum UnderlineStyle : std::uint8_t {
    UNDERLINE_NONE,
    UNDERLINE_SINGLE,
    UNDERLINE_DOUBLE,
    UNDERLINE_CURLY,
    UNDERLINE_DOTTED,
    UNDERLINE_DASHED,
};

// A colour of the pen: 0 the default, 1 to 256 an index of the 256-colour
// palette plus 1, PEN_RGB plus 0xRRGGBB a colour of its own.
inline constexpr std::uint32_t PEN_RGB = 0x1000000;

struct Pen {
    std::uint32_t fg = 0;
    std::uint32_t bg = 0;
    std::uint32_t underline_color = 0;
    std::uint16_t flags = 0;
    std::uint8_t underline = UNDERLINE_NONE;

    bool operator==(const Pen&) const = default;
};

// One value of an SGR list: `sub` when a ":" ended it, so that the values
// after it are its parts.
struct SgrValue {
    std::uint32_t value = 0;
    bool present = false;
    bool sub = false;
};

// The pen after an SGR list, as a terminal of today reads it.
void pen_apply(Pen& pen, const SgrValue* values, std::size_t n);

// The mark that tells the page the pen: ESC "[=" five numbers "m", which
// no palette letter makes. Returns its length; out holds at least
// PEN_MARK_SIZE bytes.
inline constexpr std::size_t PEN_MARK_SIZE = 64;
std::size_t format_pen_mark(char* out, const Pen& pen);

// The letters the writer's palette gives each colour key, for the page to
// read back.
void html_mark_palette(Palette& palette);

// Where the page's bytes go, and the state of the conversion.
using PageWrite = void (*)(void* arg, const char* bytes, std::size_t n);

struct HtmlPage;

// Yields nullptr when memory is exhausted. The style sheet is made from
// the palette of the user's colours (the built-in ones and VORSK_COLORS).
HtmlPage* html_page_new(const Palette& colors, PageWrite write, void* arg);
// The head of the page, before anything else.
void html_page_begin(HtmlPage& page);
// A batch of the writer's output.
void html_page_feed(HtmlPage& page, const char* bytes, std::size_t n);
// Closes what is open and ends the page.
void html_page_end(HtmlPage& page);

}  // namespace vorsk
