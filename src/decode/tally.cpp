// Counting what the decoder identified, and the features a stream relies on.
#include "decode/tally.h"

#include <cstring>

#include "allocation.h"
#include "vocab/fields.h"
#include "vocab/sgr.h"
#include "vocab/strings.h"

namespace vorsk {
namespace {

constexpr std::uint64_t OTHER_SUB = (std::uint64_t{1} << 56) - 1;

constexpr std::uint64_t row_key(RowKind kind, std::uint64_t sub) {
    return (std::uint64_t{kind} + 1) << 56 | sub;
}

std::size_t slot_of(std::uint64_t key) {
    static_assert((TALLY_SLOTS & (TALLY_SLOTS - 1)) == 0, "a power of two");
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15u) >> 40) & (TALLY_SLOTS - 1);
}

TallyRow& find_row(Tally& t, RowKind kind, std::uint64_t sub) {
    const std::uint64_t key = row_key(kind, sub);
    std::size_t i = slot_of(key);
    for (;;) {
        TallyRow& row = t.slots[i];
        if (row.key == key) return row;
        if (row.key == 0) break;
        i = (i + 1) & (TALLY_SLOTS - 1);
    }
    if (t.used >= TALLY_SLOTS / 4 * 3) {
        TallyRow& other = t.other[kind];
        other.key = row_key(kind, OTHER_SUB);
        return other;
    }
    ++t.used;
    t.slots[i].key = key;
    return t.slots[i];
}

void count_row(Tally& t, RowKind kind, std::uint64_t sub, std::uint64_t offset,
               const void* info = nullptr) {
    TallyRow& row = find_row(t, kind, sub);
    if (row.count++ == 0) {
        row.first = offset;
        row.info = info;
    }
}

void raise_depth(Tally& t, ColorDepth depth) {
    if (depth > t.depth) t.depth = depth;
}

// SM and RM, with or without "?": a row per mode number.
void tally_modes(Tally& t, const Sequence& s, bool private_modes, std::uint64_t offset) {
    const bool set = s.final_byte == 'h';
    for (std::size_t i = 0; i < s.n_params; ++i) {
        if (!s.params[i].present) continue;
        const std::uint32_t mode = s.params[i].value;
        count_row(t, private_modes ? ROW_PRIVATE_MODE : ROW_STANDARD_MODE, mode, offset);
        if (!set || !private_modes) continue;
        // The features the stream relies on, whichever mode it is read in.
        if (const PrivateMode* m = find_private_mode(mode, true)) {
            t.features |= m->feature;
            t.mouse |= m->mouse;
        }
    }
}

constexpr std::uint64_t sequence_identity(const Sequence& s) {
    const std::uint8_t intermediate = s.n_intermediates > 0 ? s.intermediates[0] : 0;
    return std::uint64_t{s.marker} << 16 | std::uint64_t{intermediate} << 8 | s.final_byte;
}

// A device control string's head: its private marker, its first two
// intermediates and its final byte, as one number.
std::uint64_t dcs_identity(std::string_view text) {
    std::size_t i = 0;
    std::uint64_t marker = 0;
    if (i < text.size() && text[i] >= 0x3c && text[i] <= 0x3f) marker = text[i++];
    while (i < text.size() && text[i] >= 0x30 && text[i] <= 0x3f) ++i;
    std::uint64_t intermediates = 0;
    for (int n = 0; i < text.size() && text[i] >= 0x20 && text[i] <= 0x2f; ++i, ++n) {
        if (n < 2) intermediates = intermediates << 8 | static_cast<std::uint8_t>(text[i]);
    }
    const std::uint64_t final_byte =
        i < text.size() && text[i] >= 0x40 && text[i] <= 0x7e ? text[i] : 0;
    return marker << 24 | intermediates << 8 | final_byte;
}

}  // namespace

Tally* tally_new() {
    Tally* t = allocate_record<Tally>();
    if (t == nullptr) return nullptr;
    t->slots = allocate_array<TallyRow>(TALLY_SLOTS);
    if (t->slots == nullptr) {
        release_record(t);
        return nullptr;
    }
    for (std::size_t i = 0; i < TALLY_SLOTS; ++i) t->slots[i] = TallyRow{};
    return t;
}

void tally_control(Tally& t, std::uint8_t b, std::uint64_t offset) {
    ++t.controls;
    count_row(t, ROW_CONTROL, b, offset);
}

void tally_alt_key(Tally& t, std::uint8_t key, std::uint64_t offset) {
    ++t.sequences;
    count_row(t, ROW_KEY, ALT_KEY_IDENTITY | key, offset);
}

void tally_sequence(Tally& t, const Sequence& s, const CsiLookup& found, std::uint64_t offset,
                    bool typed) {
    ++t.sequences;
    if (typed && s.kind == CSI_SEQUENCE) {
        count_row(t, ROW_KEY, sequence_identity(s), offset);
        return;
    }
    switch (s.kind) {
        case FE_SEQUENCE:
        case FP_SEQUENCE:
        case FS_SEQUENCE: count_row(t, ROW_ESCAPE, s.final_byte, offset); return;
        case NF_SEQUENCE: {
            // Three or more intermediates make a sequence without a label.
            const std::uint64_t i2 = s.n_intermediates > 1 ? s.intermediates[1] : 0;
            const std::uint64_t more = s.n_intermediates > 2 ? 1 : 0;
            count_row(t, ROW_DESIGNATION,
                      more << 24 | std::uint64_t{s.intermediates[0]} << 16 | i2 << 8 | s.final_byte,
                      offset);
            return;
        }
        case CSI_SEQUENCE: break;
    }
    const CsiFunction* f = found.function;
    if (!f->acronym.empty() && found.describes) {
        count_row(t, ROW_FUNCTION, std::uint64_t{f->key} | std::uint64_t{found.own_label} << 32,
                  offset, f);
    } else {
        count_row(t, ROW_UNKNOWN, sequence_identity(s), offset, !f->acronym.empty() ? f : nullptr);
    }
    if (s.n_intermediates != 0) return;
    switch (s.marker) {
        case 0:
            if (s.final_byte == 'm') raise_depth(t, sgr_color_depth(s, t.extended));
            if (s.final_byte == 'h' || s.final_byte == 'l') tally_modes(t, s, false, offset);
            return;
        case '?':
            if (s.final_byte == 'h' || s.final_byte == 'l') tally_modes(t, s, true, offset);
            return;
        case '>':
            // kitty's progressive enhancement, pushed; xterm's modifyOtherKeys.
            if (s.final_byte == 'u') t.features |= FEATURE_KITTY_KEYBOARD;
            if (s.final_byte == 'm' && sequence_param(s, 0, 0) == 4 && sequence_param(s, 1, 0) != 0)
                t.features |= FEATURE_MODIFY_OTHER_KEYS;
            return;
        case '=':
            if (s.final_byte == 'u') t.features |= FEATURE_KITTY_KEYBOARD;
            return;
        default: return;
    }
}

void tally_string(Tally& t, const ControlString& s, std::uint64_t offset) {
    ++t.strings;
    const std::string_view text = s.text();
    const std::uint64_t family = std::uint64_t{s.kind} << 32;
    switch (s.kind) {
        case OSC_STRING: {
            std::uint32_t number = 0;
            if (!parse_number(field(text, 0), number)) {
                count_row(t, ROW_STRING, family | STRING_NO_NUMBER, offset);
                return;
            }
            count_row(t, ROW_STRING, family | number, offset, osc_label(number));
            const std::string_view args = after_field(text, 0);
            if (number <= 2) t.features |= FEATURE_TITLE;
            if (number == 8) t.features |= FEATURE_HYPERLINKS;
            if (number == 52) {
                t.features |=
                    field(args, 1) == "?" ? FEATURE_CLIPBOARD_READ : FEATURE_CLIPBOARD_WRITE;
            }
            if (number == 1337 && (args.starts_with("File=") || args.starts_with("MultipartFile=")))
                t.features |= FEATURE_ITERM_IMAGES;
            return;
        }
        case DCS_STRING: {
            if (text.starts_with("tmux;")) {
                count_row(t, ROW_STRING, family | STRING_TMUX, offset, dcs_label(text));
                return;
            }
            const std::uint64_t identity = dcs_identity(text);
            count_row(t, ROW_STRING, family | identity, offset, dcs_label(text));
            if (identity == 'q') t.features |= FEATURE_SIXEL;
            return;
        }
        case APC_STRING: {
            const bool graphics = text.starts_with('G');
            count_row(t, ROW_STRING, family | (graphics ? 'G' : STRING_NO_NUMBER), offset,
                      graphics ? "KITTY GRAPHICS" : nullptr);
            if (graphics) t.features |= FEATURE_KITTY_GRAPHICS;
            return;
        }
        case PM_STRING:
        case SOS_STRING:
        case TITLE_STRING: count_row(t, ROW_STRING, family | STRING_NO_NUMBER, offset); return;
    }
}

}  // namespace vorsk
