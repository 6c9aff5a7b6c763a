// SGR, SELECT GRAPHIC RENDITION: each list read once, by one reader, into
// items (a value, an underline style, a colour of the palette or of its
// own), which the account describes, the page's pen applies and the
// summary counts. The classic mode reads the classic forms; extended mode
// reads today's (":" parts, 58, underline styles) as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "output/line_writer.h"
#include "parse/params.h"
#include "parse/sequence.h"
#include "screen/pen.h"

namespace vorsk {

enum SgrPlane : std::uint8_t {
    PLANE_FOREGROUND,  // 38
    PLANE_BACKGROUND,  // 48
    PLANE_UNDERLINE,   // 58
};

enum SgrKind : std::uint8_t {
    SGR_VALUE,        // a value on its own (":" parts after it are not read): value
    SGR_UNDERLINE,    // 4 with a style part: value is the style
    SGR_INDEX,        // a colour of the 256-colour palette: value is the index
    SGR_RGB,          // a colour of its own: red, green, blue
    SGR_UNKNOWN,      // a colour in a form that leaves no way to tell where it ends; the last item
    SGR_TOO_FEW,      // a colour whose values run out
    SGR_COLOR_SPACE,  // a colour in a space other than 2 and 5: value is its number
};

struct SgrItem {
    SgrKind kind = SGR_VALUE;
    SgrPlane plane = PLANE_FOREGROUND;
    std::uint32_t value = 0;
    std::uint32_t red = 0, green = 0, blue = 0;
};

// Reads an SGR list an item at a time:
//   SgrItem item;
//   for (SgrReader r(params, n, extended); r.next(item);) use(item);
// At most `values` values are read.
struct SgrReader {
    SgrReader(const Parameter* params, std::size_t n, bool extended_mode,
              std::size_t values = SIZE_MAX);
    SgrReader(const Sequence& s, bool extended_mode, std::size_t values = SIZE_MAX)
        : SgrReader(s.params, s.n_params, extended_mode, values) {}
    bool next(SgrItem& item);

private:
    ParamGroups groups;
    std::size_t left;  // the values it may still read
    bool extended;
    bool stopped = false;
};

// The classic text of a value; empty where there is none.
std::string_view sgr_classic_text(std::uint32_t value);

// The description lines of an SGR sequence.
void describe_sgr(const Sequence& s, bool extended, LineWriter& w);

// Colour depths, as the summary states them.
enum ColorDepth : std::uint8_t {
    DEPTH_NONE = 0,
    DEPTH_8 = 1,     // SGR 30-37, 40-47
    DEPTH_16 = 2,    // SGR 90-97, 100-107
    DEPTH_256 = 3,   // SGR 38;5;N and the like
    DEPTH_TRUE = 4,  // SGR 38;2;R;G;B and the like
};
// The deepest colour an SGR list uses.
ColorDepth sgr_color_depth(const Sequence& s, bool extended);

// The pen after an SGR list.
void pen_apply(Pen& pen, const Parameter* params, std::size_t n, bool extended);

}  // namespace vorsk
