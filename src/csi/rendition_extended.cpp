// SGR in extended mode: the colours of ITU T.416 and of current terminals
// in every form (38, 48 and 58; ";" or ":" between their values; 256
// indexes named by what they are; true colour with its value), the
// underline styles of 4:n, and the values current terminals define where
// the classic texts have none.
#include <cstddef>
#include <cstdint>

#include "csi/handlers.h"

namespace vorsk {
namespace {

// A value and the sub-parameters after it, the ones a ":" joined to it.
// No default member values: a call's array of them is filled as needed,
// not cleared whole first.
struct Group {
    const Parameter* values;
    std::size_t n;

    bool present(std::size_t i) const { return i < n && values[i].present; }
    std::uint32_t at(std::size_t i) const { return present(i) ? values[i].value : 0; }
};

constexpr const char* color_names[] = {"black", "red",     "green", "yellow",
                                       "blue",  "magenta", "cyan",  "white"};
// The levels of the 6x6x6 cube of the 256-colour palette.
constexpr std::uint32_t cube_levels[] = {0, 95, 135, 175, 215, 255};

const char* plane_of(std::uint32_t v) {
    return v == 38 ? "foreground" : v == 48 ? "background" : "underline";
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

void describe_rgb(LineWriter& w, const char* plane, std::uint32_t r, std::uint32_t g,
                  std::uint32_t b) {
    if (r > 255 || g > 255 || b > 255) {
        print_description_line(w, "Set %s color to (%u, %u, %u), which has a component above 255.",
                               plane, r, g, b);
        return;
    }
    print_description_line(w, "Set %s color to #%02x%02x%02x (%u, %u, %u).", plane, r, g, b, r, g,
                           b);
}

// 38:5:n, 38:2::r:g:b, 38:2:cs:r:g:b and the 38:2:r:g:b that some
// programs send.
void describe_colon_color(LineWriter& w, std::uint32_t v, const Group& g) {
    const char* plane = plane_of(v);
    switch (g.at(1)) {
        case 5:
            if (g.n >= 3) {
                describe_index(w, plane, g.at(2));
                return;
            }
            break;
        case 2:
            if (g.n >= 6) {
                describe_rgb(w, plane, g.at(3), g.at(4), g.at(5));
                return;
            }
            if (g.n == 5) {
                describe_rgb(w, plane, g.at(2), g.at(3), g.at(4));
                return;
            }
            break;
        default:
            print_description_line(w, "Set %s color in color space %u, which is not described.",
                                   plane, g.at(1));
            return;
    }
    print_description_line(w, "Set %s color: too few values.", plane);
}

constexpr const char* underline_styles[] = {
    "Clear underlining.",
    "Set underlined text.",
    "Set double-underlined text.",
    "(kitty) Set curly underlined text.",
    "(kitty) Set dotted underlined text.",
    "(kitty) Set dashed underlined text.",
};

// The texts of values the classic table leaves empty, or words otherwise.
const char* extended_text(std::uint32_t v) {
    switch (v) {
        case 21: return "Set double-underlined text (some terminals clear bold instead).";
        case 26: return "Set proportional spacing.";
        case 50: return "Clear proportional spacing.";
        case 59: return "Set underline color to the default.";
        case 73: return "(mintty) Set superscript text.";
        case 74: return "(mintty) Set subscript text.";
        case 75: return "(mintty) Clear superscript and subscript text.";
        default: return nullptr;
    }
}

}  // namespace

void describe_sgr_extended(const Sequence& s, LineWriter& w) {
    // The values in groups, each with its sub-parameters.
    Group groups[MAX_PARAMETERS];
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.n_params;) {
        std::size_t j = i + 1;
        while (j < s.n_params && s.params[j - 1].ended_by == ':') ++j;
        groups[n++] = {&s.params[i], j - i};
        i = j;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const Group& g = groups[i];
        const std::uint32_t v = g.at(0);
        if (v == 38 || v == 48 || v == 58) {
            if (g.n > 1) {
                describe_colon_color(w, v, g);
                continue;
            }
            if (i + 1 == n) {
                print_description_line(w, "Set %s color: too few values.", plane_of(v));
                continue;
            }
            // The values after ";": 5 and an index, 2 and three components.
            const std::uint32_t mode = groups[i + 1].at(0);
            if (mode == 5 && i + 2 < n) {
                describe_index(w, plane_of(v), groups[i + 2].at(0));
                i += 2;
                continue;
            }
            if (mode == 2 && i + 4 < n) {
                describe_rgb(w, plane_of(v), groups[i + 2].at(0), groups[i + 3].at(0),
                             groups[i + 4].at(0));
                i += 4;
                continue;
            }
            // Nothing tells where such a colour ends.
            print_description_line(w, "Set %s color (unknown).", plane_of(v));
            return;
        }
        if (v == 4 && g.n > 1) {
            const std::uint32_t style = g.at(1);
            if (style < std::size(underline_styles)) {
                print_description(w, {underline_styles[style]});
            } else {
                print_description_line(w, "Underline style %u is not defined.", style);
            }
            continue;
        }
        const char* text = classic_rendition_text(v);
        if (text == nullptr) text = extended_text(v);
        if (v == 21) text = extended_text(v);
        if (text != nullptr) print_description(w, {text});
        if (v == 100)
            print_description(w, {"(Rxvt) Set foreground and background color to default."});
    }
}

}  // namespace vorsk
