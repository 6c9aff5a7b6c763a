// Descriptions of SGR, SELECT GRAPHIC RENDITION: the ECMA-48 values, the
// extended colours 38 and 48, the bright colours of xterm, and xterm's
// modifyKeys form behind ">".
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "csi/handlers.h"

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

static_assert(sizeof rendition_texts / sizeof rendition_texts[0] == MAX_RENDITION + 1);
static_assert(empty_exactly_at(rendition_texts, {26, 38, 48, 50, 56, 57, 58, 59}));
static_assert(sizeof bright_color_texts / sizeof bright_color_texts[0] ==
              LAST_BRIGHT - FIRST_BRIGHT + 1);
static_assert(empty_exactly_at(bright_color_texts, {98 - FIRST_BRIGHT, 99 - FIRST_BRIGHT}));

// The text of a classic rendition value; empty where there is none.
std::string_view rendition_text(std::uint32_t v) {
    if (v >= FIRST_BRIGHT && v <= LAST_BRIGHT) return bright_color_texts[v - FIRST_BRIGHT];
    return v <= MAX_RENDITION ? rendition_texts[v] : std::string_view{};
}

}  // namespace

const char* classic_rendition_text(std::uint32_t v) {
    const std::string_view text = rendition_text(v);
    return text.empty() ? nullptr : text.data();  // each text is a literal, terminated
}

VORSK_CSI_HANDLER(csi_do_sgr) {
    assert(a.count > 0);
    if (a.extended) {
        describe_sgr_extended(*a.sequence, w);
        return;
    }
    for (std::size_t i = 0; i < a.count; ++i) {
        std::uint32_t v = a.param(i);
        // ISO 8613-6 colours, wherever they stand: 38 or 48, then 5 and an
        // index, or 2 and three components. Any other form leaves no way to
        // tell where the colour ends, so nothing after it is described.
        if ((v == 38 || v == 48) && i + 1 < a.count) {
            const std::string_view plane = v == 38 ? "foreground" : "background";
            if (a.param(i + 1) == 5 && i + 2 < a.count) {
                print_description(
                    w, {"Set ", plane, " color to index ", Decimal(a.param(i + 2)), "."});
                i += 2;
                continue;
            }
            print_description(w, {"Set ", plane, " color (unknown)."});
            if (a.param(i + 1) == 2 && i + 4 < a.count) {
                i += 4;
                continue;
            }
            return;
        }
        const std::string_view text = rendition_text(v);
        if (!text.empty()) print_description(w, {text});
        // rxvt reads 100 as a reset of both colours, xterm as a gray background.
        if (v == 100)
            print_description(w, {"(Rxvt) Set foreground and background color to default."});
    }
}

}  // namespace vorsk
