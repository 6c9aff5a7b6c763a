// The describers of control strings by family, and where bulk data begins.
#include "vocab/strings.h"

#include "vocab/fields.h"

namespace vorsk {

void describe_string(const ControlString& s, LineWriter& w) {
    switch (s.kind) {
        case OSC_STRING: describe_osc(s, w); return;
        case DCS_STRING: describe_dcs(s, w); return;
        case APC_STRING: describe_apc(s, w); return;
        case PM_STRING: print_label_line(w, "%s: %s", "PM", "PRIVACY MESSAGE"); return;
        case SOS_STRING: print_label_line(w, "%s: %s", "SOS", "START OF STRING"); return;
        case TITLE_STRING:
            print_label_line(w, "%s: %s", "ESC k", "SET WINDOW TITLE");
            print_description_line(w, "(screen) Set the window title to \"%s\".",
                                   shown(s.text()).text);
            return;
    }
}

// The bulk data: a clipboard's base64 after OSC 52's second ";", an
// iTerm2 file after ":", sixel pixels after DCS ... q, a kitty graphics
// payload after APC G ... ";".
std::uint64_t find_bulk_start(const ControlString& s, bool& decided) {
    const std::string_view text = s.text();
    const std::size_t n = text.size();
    const char last = text[n - 1];
    switch (s.kind) {
        case OSC_STRING: {
            constexpr std::string_view bulk_prefixes[] = {
                "52;", "1337;File=", "1337;MultipartFile=", "1337;FilePart="};
            bool possible = false;
            for (const std::string_view prefix : bulk_prefixes) {
                if (prefix.starts_with(text)) possible = true;
                if (!text.starts_with(prefix)) continue;
                possible = true;
                const bool starts = prefix == "52;" ? last == ';' && count_fields(text) == 3
                                                    : last == ':' || text == "1337;FilePart=";
                if (starts) {
                    decided = true;
                    return n;
                }
            }
            decided = !possible;
            return NO_BULK;
        }
        case DCS_STRING:
            // Sixel: parameters (digits and ";") and the final "q".
            if (last == 'q') {
                decided = true;
                return text.find_first_not_of("0123456789;") == n - 1 ? n : NO_BULK;
            }
            decided = text.find_first_not_of("0123456789;") != std::string_view::npos;
            return NO_BULK;
        case APC_STRING:
            if (text[0] != 'G') {
                decided = true;
                return NO_BULK;
            }
            if (last == ';') {
                decided = true;
                return n;
            }
            return NO_BULK;
        case PM_STRING:
        case SOS_STRING:
        case TITLE_STRING: decided = true; return NO_BULK;
    }
    decided = true;
    return NO_BULK;
}

}  // namespace vorsk
