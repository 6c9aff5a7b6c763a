#include "vocab/fields.h"

#include "text/safe_text.h"

namespace vorsk {

std::string_view field(std::string_view text, std::size_t i, char sep) {
    for (; i > 0; --i) {
        const std::size_t at = text.find(sep);
        if (at == std::string_view::npos) return {};
        text.remove_prefix(at + 1);
    }
    return text.substr(0, text.find(sep));
}

std::string_view after_field(std::string_view text, std::size_t i, char sep) {
    for (std::size_t k = 0; k <= i; ++k) {
        const std::size_t at = text.find(sep);
        if (at == std::string_view::npos) return {};
        text.remove_prefix(at + 1);
    }
    return text;
}

std::size_t count_fields(std::string_view text, char sep) {
    std::size_t n = 1;
    for (const char c : text) n += c == sep;
    return n;
}

bool parse_number(std::string_view text, std::uint32_t& value) {
    if (text.empty() || text.size() > 9) return false;
    std::uint32_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    }
    value = v;
    return true;
}

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::size_t percent_decode(char* out, std::size_t cap, std::string_view text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size() && n < cap; ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
            hex_value(text[i + 2]) >= 0) {
            out[n++] = static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out[n++] = text[i];
        }
    }
    return n;
}

std::size_t base64_decode(char* out, std::size_t cap, std::string_view text, bool& valid) {
    Base64Count count;
    std::size_t n = 0;
    std::uint64_t before = 0;
    // The running count keeps the first bytes only; decode group by group.
    for (const char c : text) {
        base64_add(count, static_cast<std::uint8_t>(c));
        if (count.decoded != before) {
            const auto byte = static_cast<char>(count.bits >> count.n_bits);
            if (n < cap) out[n++] = byte;
            before = count.decoded;
        }
    }
    valid = base64_complete(count);
    return n;
}

std::size_t hex_decode(char* out, std::size_t cap, std::string_view text, bool& valid) {
    valid = text.size() % 2 == 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i + 1 < text.size() && n < cap; i += 2) {
        const int high = hex_value(text[i]);
        const int low = hex_value(text[i + 1]);
        if (high < 0 || low < 0) {
            valid = false;
            break;
        }
        out[n++] = static_cast<char>(high * 16 + low);
    }
    return n;
}

Shown shown(std::string_view text) {
    Shown s;
    safe_text(s.text, sizeof s.text, text);
    return s;
}

void print_string_label(LineWriter& w, const char* family, std::string_view selector,
                        const char* name) {
    if (selector.empty()) {
        print_label_line(w, "%s: %s", family, name);
    } else {
        print_label_line(w, "%s %.*s: %s", family, static_cast<int>(selector.size()),
                         selector.data(), name);
    }
}

}  // namespace vorsk
