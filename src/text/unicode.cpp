#include "text/unicode.h"

#include <utf8proc.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "text/controls.h"

namespace vorsk {
namespace {

struct NamedCodePoint {
    std::uint32_t cp = 0;
    const char* name = nullptr;
};

// Sorted by code point.
constexpr NamedCodePoint hidden_or_reordering[] = {
    {0x061C, "ALM"},  {0x200B, "ZWSP"}, {0x200D, "ZWJ"}, {0x200E, "LRM"}, {0x200F, "RLM"},
    {0x2028, "LSEP"}, {0x2029, "PSEP"}, {0x202A, "LRE"}, {0x202B, "RLE"}, {0x202C, "PDF"},
    {0x202D, "LRO"},  {0x202E, "RLO"},  {0x2060, "WJ"},  {0x2066, "LRI"}, {0x2067, "RLI"},
    {0x2068, "FSI"},  {0x2069, "PDI"},  {0xFEFF, "BOM"},
};

consteval bool sorted_by_code_point() {
    for (std::size_t i = 1; i < std::size(hidden_or_reordering); ++i) {
        if (hidden_or_reordering[i - 1].cp >= hidden_or_reordering[i].cp) return false;
    }
    return true;
}
static_assert(sorted_by_code_point());

bool is_noncharacter(std::uint32_t cp) {
    return (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE;
}

bool is_regional_indicator(std::uint32_t cp) {
    return cp >= 0x1F1E6 && cp <= 0x1F1FF;
}

const char* unsafe_name_looked_up(std::uint32_t cp) {
    if (cp >= 0x80 && cp <= 0x9F) return c1_controls[cp - 0x80].acronym.data();
    for (const NamedCodePoint& n : hidden_or_reordering) {
        if (n.cp == cp) return n.name;
    }
    if (is_noncharacter(cp)) return "NONCHAR";
    // Other format characters hide text as well; a soft hyphen and the
    // zero-width non-joiner only shape it. ZWJ within a cluster is text.
    const auto category = utf8proc_category(static_cast<utf8proc_int32_t>(cp));
    if (category == UTF8PROC_CATEGORY_CF && cp != 0x00AD && cp != 0x200C) return "";
    return nullptr;
}

int width_looked_up(std::uint32_t cp) {
    const int width = utf8proc_charwidth(static_cast<utf8proc_int32_t>(cp));
    return width < 0 ? 1 : width > 2 ? 2 : width;
}

bool is_plain(std::uint32_t cp) {
    return plain_text_width(cp) != 0;
}

}  // namespace

static_assert(plain_text::START_STATE == UTF8PROC_BOUNDCLASS_START);
static_assert(plain_text::OTHER_STATE == UTF8PROC_BOUNDCLASS_OTHER);
static_assert(plain_text::LV_STATE == UTF8PROC_BOUNDCLASS_LV);
static_assert(plain_text::LVT_STATE == UTF8PROC_BOUNDCLASS_LVT);

// Most text is plain: a code point that is no control item, of the
// grapheme class Other (a cluster of its own next to another such), one or
// two columns wide.
plain_text::Kind plain_text::bmp_kinds[0x10000];

plain_text::Kind plain_text::look_up(std::uint32_t cp) {
    if (cp >= std::size(bmp_kinds)) return NOT_PLAIN;
    Kind& kind = bmp_kinds[cp];
    if (kind == NOT_LOOKED_UP) {
        const auto* property = utf8proc_get_property(static_cast<utf8proc_int32_t>(cp));
        const int width = width_looked_up(cp);
        kind = NOT_PLAIN;
        if (property->boundclass == UTF8PROC_BOUNDCLASS_OTHER && width != 0 &&
            unsafe_name_looked_up(cp) == nullptr) {
            kind = width == 1 ? NARROW : WIDE;
        }
    }
    return kind;
}

const char* unsafe_code_point_name(std::uint32_t cp) {
    if (is_plain(cp)) return nullptr;
    return unsafe_name_looked_up(cp);
}

int code_point_width(std::uint32_t cp) {
    const int plain_width = plain_text_width(cp);
    return plain_width != 0 ? plain_width : width_looked_up(cp);
}

bool grapheme_break_plain(GraphemeState& g, std::uint32_t cp) {
    if (plain_breaks_surely(g)) {
        g.state = UTF8PROC_BOUNDCLASS_OTHER;
        g.last = cp;
        return true;
    }
    return grapheme_break_looked_up(g, cp);
}

bool grapheme_break(GraphemeState& g, std::uint32_t cp) {
    return is_plain(cp) ? grapheme_break_plain(g, cp) : grapheme_break_looked_up(g, cp);
}

bool grapheme_break_looked_up(GraphemeState& g, std::uint32_t cp) {
    const bool breaks = g.last == 0 || utf8proc_grapheme_break_stateful(
                                           static_cast<utf8proc_int32_t>(g.last),
                                           static_cast<utf8proc_int32_t>(cp), &g.state);
    if (g.last == 0) g.state = 0;
    g.last = cp;
    return breaks;
}

int joined_width(std::uint32_t previous, std::uint32_t cp, int previous_width) {
    if (is_regional_indicator(cp) && is_regional_indicator(previous)) return 1;
    if (cp == 0xFE0F && previous_width == 1) return 1;
    return 0;
}

const char* unicode_version() {
    return utf8proc_unicode_version();
}

std::size_t format_code_point(char* out, std::uint32_t cp) {
    constexpr char hex[] = "0123456789ABCDEF";
    std::size_t digits = 4;
    while (digits < 8 && (cp >> (4 * digits)) != 0) ++digits;
    out[0] = 'U';
    out[1] = '+';
    for (std::size_t i = 0; i < digits; ++i)
        out[2 + i] = hex[(cp >> (4 * (digits - 1 - i))) & 0xFu];
    out[2 + digits] = '\0';
    return 2 + digits;
}

std::size_t format_code_point_item(char* out, std::uint32_t cp, const char* name) {
    std::size_t n = format_code_point(out, cp);
    if (*name != '\0') {
        out[n++] = '/';
        const std::size_t length = std::min(std::strlen(name), CODE_POINT_ITEM_SIZE - 1 - n);
        std::memcpy(out + n, name, length);
        n += length;
    }
    out[n] = '\0';
    return n;
}

}  // namespace vorsk
