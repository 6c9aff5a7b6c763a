#include "decode/screen_feed.h"

#include "text/unicode.h"
#include "vocab/screen_apply.h"

namespace vorsk {
namespace {

void put_held_character(ScreenFeed& f) {
    std::uint32_t cp = 0;
    const auto n = static_cast<std::size_t>(f.have);
    if (utf8_decode(f.utf8, n, cp) == n) {
        const int width = code_point_width(cp);
        if (width >= 0 && unsafe_code_point_name(cp) == nullptr) {
            screen_put(*f.screen, cp, width, reinterpret_cast<const char*>(f.utf8), n);
        }
    }
    f.have = 0;
    f.need = 0;
}

}  // namespace

void feed_text_byte(ScreenFeed& f, std::uint8_t b) {
    if (f.in_string) return;
    if (f.need != 0) {
        if (utf8_continues(f.utf8[0], static_cast<std::size_t>(f.have), b)) {
            f.utf8[f.have++] = b;
            if (f.have == f.need) put_held_character(f);
            return;
        }
        f.have = 0;
        f.need = 0;
    }
    if (b < 0x80) {
        const char c = static_cast<char>(b);
        screen_put(*f.screen, b, 1, &c, 1);
        return;
    }
    const int length = utf8_length(b);
    if (length == 0) return;  // a byte that begins no character is no text
    f.utf8[0] = b;
    f.have = 1;
    f.need = length;
}

void feed_text_run(ScreenFeed& f, const char* bytes, std::size_t n) {
    if (f.in_string) return;
    f.have = 0;
    f.need = 0;
    screen_put_ascii(*f.screen, bytes, n);
}

void feed_plain_run(ScreenFeed& f, const char* bytes, std::size_t n) {
    f.have = 0;
    f.need = 0;
    const auto* at = reinterpret_cast<const std::uint8_t*>(bytes);
    const std::uint8_t* const end = at + n;
    while (at != end) {
        const std::uint8_t* ascii = at;
        while (ascii != end && *ascii < 0x80) ++ascii;
        if (ascii != at) {
            screen_put_ascii(*f.screen, reinterpret_cast<const char*>(at),
                             static_cast<std::size_t>(ascii - at));
            at = ascii;
            continue;
        }
        std::uint32_t cp = 0;
        const std::size_t length = utf8_decode(at, static_cast<std::size_t>(end - at), cp);
        if (length == 0) return;  // the run holds whole characters only
        const int plain = plain_text_width(cp);
        screen_put(*f.screen, cp, plain != 0 ? plain : code_point_width(cp),
                   reinterpret_cast<const char*>(at), length);
        at += length;
    }
}

void feed_character(ScreenFeed& f, std::uint32_t cp, int width, const char* bytes, std::size_t n) {
    if (unsafe_code_point_name(cp) != nullptr) return;
    screen_put(*f.screen, cp, width < 0 ? 1 : width, bytes, n);
}

void feed_control(ScreenFeed& f, std::uint8_t b, bool extended) {
    if (b >= 0x80) {
        // The classic mode hands bytes from 0x80 up to the control line.
        if (!extended) feed_text_byte(f, b);
        return;
    }
    f.have = 0;
    f.need = 0;
    if (f.in_string) {
        if (b == 0x18 || b == 0x1a || (b == 0x07 && f.string_bel)) f.in_string = false;
        return;
    }
    screen_control(*f.screen, b);
}

void feed_sequence(ScreenFeed& f, const Sequence& s, bool extended) {
    f.have = 0;
    f.need = 0;
    if (!extended) {
        // The classic mode reads a control string's introducer as a
        // sequence of its own, and its payload as text: the screen skips
        // the payload up to the terminator, as a terminal does.
        if (f.in_string) {
            f.in_string = false;
            if (s.kind == FE_SEQUENCE && s.final_byte == '\\') return;
        }
        if ((s.kind == FE_SEQUENCE &&
             (s.final_byte == ']' || s.final_byte == 'P' || s.final_byte == '_' ||
              s.final_byte == '^' || s.final_byte == 'X')) ||
            (s.kind == FS_SEQUENCE && s.final_byte == 'k')) {
            f.in_string = true;
            f.string_bel = s.final_byte == ']' || s.final_byte == 'k';
            return;
        }
    }
    screen_apply_sequence(*f.screen, s);
}

}  // namespace vorsk
