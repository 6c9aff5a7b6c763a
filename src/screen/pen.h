// The pen: the attributes a stream set for the text that follows, as a
// terminal keeps them with each cell it writes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorsk {

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

// The mark that tells the page the pen: ESC "[=" five numbers "m", which
// no palette letter makes. Returns its length; out holds at least
// PEN_MARK_SIZE bytes.
inline constexpr std::size_t PEN_MARK_SIZE = 64;
std::size_t format_pen_mark(char* out, const Pen& pen);

// The marks that tell the page who changed the screen: ESC "[=" a letter,
// a number, "m". 'a': the place of the account line that changed it (the
// painter), 'b': the screen row that follows was changed last by that
// painter. Returns its length; out holds at least PAINTER_MARK_SIZE bytes.
inline constexpr std::size_t PAINTER_MARK_SIZE = 32;
std::size_t format_painter_mark(char* out, char letter, std::uint64_t painter);

}  // namespace vorsk
