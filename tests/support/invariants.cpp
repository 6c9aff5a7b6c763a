#include "invariants.h"

#include <utf8proc.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <vector>

namespace vorsk_test {
namespace {

constexpr std::array<std::string_view, 32> C0_NAMES = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "IS4", "IS3", "IS2", "IS1",
};

enum class Kind {
    NONE,
    TEXT,                   // "|" or "-|" ... "|", "|." or "|-"
    CONTROL,                // "." and items
    ESCAPE,                 // ": Esc" and pieces, the first row of an escape line or a record
    ESCAPE_CONTINUED,       // ":  " and pieces
    LABEL,                  // "& "
    DESCRIPTION,            // "\" "
    DESCRIPTION_CONTINUED,  // "\"  ", the second physical line of a description
    DELAY,                  // "@ "
};

struct Row {
    Kind kind = Kind::NONE;
    std::size_t width = 0;      // columns, colour escapes left out
    bool text_wrapped = false;  // a text row that ends in "|-"
};

bool starts_with(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool ends_with(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string visible(std::string_view bytes) {
    std::string shown;
    for (const unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            static constexpr char HEX[] = "0123456789abcdef";
            shown += "\\x";
            shown += HEX[c >> 4];
            shown += HEX[c & 15];
        }
    }
    return shown;
}

// The pieces after a row's start string: each is a blank and a token
// without blanks. False when the rest is not made of such pieces.
bool split_pieces(std::string_view rest, std::vector<std::string_view>& tokens) {
    tokens.clear();
    while (!rest.empty()) {
        if (rest[0] != ' ') return false;
        rest.remove_prefix(1);
        const std::size_t end = std::min(rest.find(' '), rest.size());
        if (end == 0) return false;
        tokens.push_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    return true;
}

// One item of a control row: a C0 name or DEL, with its caret form when the
// carets are shown, or "x" and two upper-case hexadecimal digits from 80 up.
bool control_item_ok(std::string_view item, bool carets) {
    if (item.size() == 3 && item[0] == 'x') {
        auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
        return hex(item[1]) && hex(item[2]) && item[1] >= '8';
    }
    const std::size_t slash = item.find('/');
    const std::string_view name = item.substr(0, slash);
    int code = -1;
    if (name == "DEL") code = 0x7f;
    for (std::size_t i = 0; i < C0_NAMES.size(); ++i) {
        if (C0_NAMES[i] == name) code = static_cast<int>(i);
    }
    if (code < 0) return false;
    if (!carets) return slash == std::string_view::npos;
    const std::string caret{'/', '^', static_cast<char>(code ^ 0x40)};
    return item.substr(name.size()) == caret;
}

// One piece of an escape line: "Esc", "Spc", a byte of the sequence, or a
// parameter value as " %d" prints a 32-bit signed number.
bool escape_token_ok(std::string_view token) {
    if (token == "Esc" || token == "Spc") return true;
    if (token.size() == 1) return token[0] > 0x20 && token[0] < 0x7f;
    std::string_view digits = token[0] == '-' ? token.substr(1) : token;
    if (digits.empty() || digits[0] == '0') return false;  // "%d" writes no leading zero
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    return error == std::errc{} && end == token.data() + token.size() &&
           value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

// A code point shown as a control item in extended mode: "U+" and four to
// six hex digits, with "/" and a short name or without.
bool code_point_item_ok(std::string_view item) {
    if (!starts_with(item, "U+")) return false;
    const std::size_t slash = item.find('/');
    const std::string_view hex =
        item.substr(2, slash == std::string_view::npos ? slash : slash - 2);
    if (hex.size() < 4 || hex.size() > 6) return false;
    for (const char c : hex) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return slash == std::string_view::npos || slash + 1 < item.size();
}

bool delay_ok(std::string_view number) {
    // "%f" of a double: digits, a point and six decimals, or inf and nan.
    if (starts_with(number, "-")) number.remove_prefix(1);
    if (number == "inf" || number == "nan") return true;
    const std::size_t point = number.find('.');
    if (point == 0 || point == std::string_view::npos || number.size() - point != 7) return false;
    for (std::size_t i = 0; i < number.size(); ++i) {
        if (i != point && (number[i] < '0' || number[i] > '9')) return false;
    }
    return true;
}

// Code points that must never reach a terminal raw: C1 controls, the
// controls that reorder text, line and paragraph separators.
bool acts_on_terminal(std::uint32_t cp) {
    if (cp >= 0x80 && cp <= 0x9f) return true;
    if ((cp >= 0x202a && cp <= 0x202e) || (cp >= 0x2066 && cp <= 0x2069)) return true;
    return cp == 0x200e || cp == 0x200f || cp == 0x061c || cp == 0x2028 || cp == 0x2029;
}

// An extended row with each UTF-8 character replaced by as many "w" as it
// takes columns, so that the row checks read it as they read ASCII; or an
// error text for malformed UTF-8 or a code point a terminal acts on.
extern bool widened_;

std::string to_cells(std::string_view row, std::string& error) {
    std::string cells;
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(row.data());
    utf8proc_ssize_t at = 0;
    const auto size = static_cast<utf8proc_ssize_t>(row.size());
    utf8proc_int32_t last = 0;
    utf8proc_int32_t state = 0;
    int last_width = 0;
    while (at < size) {
        if (bytes[at] < 0x80) {
            last = bytes[at];
            state = 0;
            last_width = 1;
            cells += static_cast<char>(bytes[at++]);
            continue;
        }
        utf8proc_int32_t cp = 0;
        const utf8proc_ssize_t n = utf8proc_iterate(bytes + at, size - at, &cp);
        if (n <= 0) {
            error = "malformed UTF-8";
            return cells;
        }
        if (acts_on_terminal(static_cast<std::uint32_t>(cp))) {
            error = "a code point that acts on the terminal";
            return cells;
        }
        // A code point that continues a grapheme cluster adds no column,
        // but the second of a flag's two indicators and VS16 after a
        // narrow symbol make the cluster two wide.
        const bool breaks = last == 0 || utf8proc_grapheme_break_stateful(last, cp, &state);
        int width = std::max(utf8proc_charwidth(cp), 0);
        if (!breaks) {
            const bool indicators =
                cp >= 0x1f1e6 && cp <= 0x1f1ff && last >= 0x1f1e6 && last <= 0x1f1ff;
            width = indicators || (cp == 0xfe0f && last_width == 1) ? 1 : 0;
            if (width != 0) widened_ = true;
        } else {
            last_width = width;
        }
        last = cp;
        cells.append(static_cast<std::size_t>(width), 'w');
        at += n;
    }
    return cells;
}

// A row without its colour escapes, or an error text for an escape that is
// not a colour escape (or any escape at all with colours off).
bool extended_ = false;
// The row holds a cluster that a flag's second indicator or VS16 widened
// after it was placed: it may end one column past the usual.
bool widened_ = false;

std::string strip_colors(std::string_view raw, bool colors, std::string& error) {
    std::string row;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c != 0x1b) {
            if (c < 0x20 || c == 0x7f || (c > 0x7f && !extended_)) {
                error = "a byte that is not printable ASCII";
                return row;
            }
            row += static_cast<char>(c);
            continue;
        }
        if (!colors) {
            error = "an ESC byte with colours off";
            return row;
        }
        std::size_t j = i + 1;
        if (j >= raw.size() || raw[j] != '[') {
            error = "an ESC that does not start a colour escape";
            return row;
        }
        ++j;
        while (j < raw.size() && raw[j] >= 0x30 && raw[j] <= 0x3f) ++j;
        if (j >= raw.size() || raw[j] != 'm') {
            error = "an unterminated colour escape";
            return row;
        }
        i = j;
    }
    return row;
}

class Checker {
public:
    explicit Checker(const OutputShape& shape) : shape_(shape) {}

    // Checks one row against the row before it; an empty result is a pass.
    std::string row(std::string_view r) {
        Row now;
        now.width = r.size();
        if (prev_.text_wrapped && !starts_with(r, "-|"))
            return "a wrapped text row is not continued";
        if (starts_with(r, "-|") || starts_with(r, "|")) {
            const bool continued = r[0] == '-';
            if (continued != prev_.text_wrapped)
                return "a text continuation row without a wrapped row before it";
            now.kind = Kind::TEXT;
            const std::size_t start = continued ? 2 : 1;
            std::size_t end;
            if (ends_with(r, "|.")) {
                end = 2;
            } else if (ends_with(r, "|-")) {
                end = 2;
                now.text_wrapped = true;
            } else if (ends_with(r, "|")) {
                end = 1;
            } else {
                return "a text row without its closing bar";
            }
            if (r.size() < start + end) return "a text row too short for its bars";
            if (continued && r.size() == start + end) return "an empty text continuation row";
            // A wide character that does not fit wraps one column early.
            if (now.text_wrapped && r.size() != ROW_WIDTH &&
                !(shape_.extended &&
                  (r.size() == ROW_WIDTH - 1 || (widened_ && r.size() == ROW_WIDTH + 1)))) {
                return "a text row wrapped before column 78";
            }
            // The wrap marker needs two columns, so a row's bar and text
            // end by column 76.
            if (r.size() - end > ROW_WIDTH - 2 + (widened_ ? 1 : 0))
                return "a text row holding more than fits in 78 columns";
        } else if (starts_with(r, ".")) {
            now.kind = Kind::CONTROL;
            if (!split_pieces(r.substr(1), tokens_) || tokens_.empty())
                return "a control row not made of items";
            for (const auto item : tokens_) {
                if (!control_item_ok(item, shape_.print_carets) &&
                    !(shape_.extended && code_point_item_ok(item))) {
                    return "an unknown control item";
                }
            }
            if (std::string error = check_wrap(r, 1); !error.empty()) return error;
            // Two control rows in a row are one wrapped line, since with
            // escape rows shown something always stands between two lines.
            if (prev_.kind == Kind::CONTROL && shape_.print_escapes && !shape_.delays &&
                !wrapped_before(1 + tokens_[0].size())) {
                return "a control line wrapped before the row was full";
            }
        } else if (starts_with(r, ":  ")) {
            now.kind = Kind::ESCAPE_CONTINUED;
            if (!shape_.print_escapes) return "an escape row with escape rows off";
            if (prev_.kind != Kind::ESCAPE && prev_.kind != Kind::ESCAPE_CONTINUED) {
                return "an escape continuation row after a row of another kind";
            }
            // The payload of a control string is echoed as it stands, in
            // pieces of one or two columns.
            if (shape_.extended) {
                if (r.size() > ROW_WIDTH + (widened_ ? 1 : 0)) return "a row wider than 78 columns";
            } else {
                if (!split_pieces(r.substr(2), tokens_) || tokens_.empty())
                    return "an escape row not made of pieces";
                for (const auto token : tokens_) {
                    if (!escape_token_ok(token)) return "an escape piece that is no byte or number";
                }
                if (!wrapped_before(1 + tokens_[0].size()))
                    return "an escape line wrapped before the row was full";
            }
            if (!shape_.extended) {
                if (std::string error = check_wrap(r, 2); !error.empty()) return error;
            }
        } else if (starts_with(r, ": Esc")) {
            now.kind = Kind::ESCAPE;
            if (!shape_.print_escapes) return "an escape row with escape rows off";
            if (!shape_.extended) {
                if (!split_pieces(r.substr(1), tokens_)) return "an escape row not made of pieces";
                for (const auto token : tokens_) {
                    if (!escape_token_ok(token)) return "an escape piece that is no byte or number";
                }
                if (std::string error = check_wrap(r, 1); !error.empty()) return error;
            } else if (r.size() > ROW_WIDTH + (widened_ ? 1 : 0)) {
                return "a row wider than 78 columns";
            }
        } else if (starts_with(r, "& ")) {
            now.kind = Kind::LABEL;
            if (!shape_.print_labels) return "a label row with labels off";
            if (r.size() == 2) return "an empty label";
            if (shape_.print_escapes && prev_.kind != Kind::ESCAPE &&
                prev_.kind != Kind::ESCAPE_CONTINUED) {
                return "a label that does not follow its escape line";
            }
        } else if (starts_with(r, "\"  ")) {
            now.kind = Kind::DESCRIPTION_CONTINUED;
            // Indented lines go on a description: a second physical line,
            // or the items of a list under it.
            if (prev_.kind != Kind::DESCRIPTION && prev_.kind != Kind::DESCRIPTION_CONTINUED)
                return "a description's second line without its first";
        } else if (starts_with(r, "\" ")) {
            now.kind = Kind::DESCRIPTION;
            if (!shape_.print_descriptions) return "a description row with descriptions off";
            if (r.size() == 2) return "an empty description";
            if (shape_.print_escapes &&
                (prev_.kind == Kind::NONE || prev_.kind == Kind::TEXT ||
                 prev_.kind == Kind::CONTROL || prev_.kind == Kind::DELAY)) {
                return "a description that follows no sequence";
            }
        } else if (starts_with(r, "@ ")) {
            now.kind = Kind::DELAY;
            if (!shape_.delays) return "a delay row without a timing file";
            if (!delay_ok(r.substr(2))) return "a delay that is not a number of seconds";
        } else {
            return "a row of no known kind";
        }
        prev_ = now;
        return "";
    }

    std::string end() const {
        return prev_.text_wrapped ? "the account ends in a wrapped text row" : "";
    }

private:
    // Whether the row before, of width prev_.width, had to wrap before a
    // piece of n columns: it was full, or the piece did not fit.
    bool wrapped_before(std::size_t n) const {
        return prev_.width == ROW_WIDTH || prev_.width + n > ROW_WIDTH;
    }

    // A plain row is at most 78 columns, unless it holds a single piece too
    // wide for any row.
    std::string check_wrap(std::string_view r, std::size_t start) const {
        if (r.size() <= ROW_WIDTH) return "";
        if (tokens_.size() == 1 && start + 1 + tokens_[0].size() > ROW_WIDTH) return "";
        return "a row wider than 78 columns";
    }

    OutputShape shape_;
    Row prev_;
    std::vector<std::string_view> tokens_;
};

}  // namespace

std::string check_invariants(std::string_view output, const OutputShape& shape) {
    if (!output.empty() && output.back() != '\n') return "the account does not end with a newline";
    Checker checker(shape);
    std::size_t number = 0;
    while (!output.empty()) {
        ++number;
        const std::size_t newline = output.find('\n');
        const std::string_view raw = output.substr(0, newline);
        output.remove_prefix(newline + 1);
        std::string error;
        // Most rows have no escape at all and are checked where they stand.
        std::string stripped;
        std::string cells;
        std::string_view r = raw;
        extended_ = shape.extended;
        if (raw.find('\x1b') != std::string_view::npos) {
            stripped = strip_colors(raw, shape.colors, error);
            r = stripped;
        } else {
            for (const char c : raw) {
                const auto b = static_cast<unsigned char>(c);
                if (b < 0x20 || b == 0x7f || (b > 0x7f && !shape.extended))
                    error = "a byte that is not printable ASCII";
            }
        }
        if (error.empty() && shape.extended) {
            widened_ = false;
            cells = to_cells(r, error);
            r = cells;
        }
        if (error.empty()) error = r.empty() ? "an empty row" : checker.row(r);
        if (!error.empty())
            return "row " + std::to_string(number) + ": " + error + ": " + visible(raw);
    }
    std::string error = checker.end();
    return error.empty() ? "" : "row " + std::to_string(number) + ": " + error;
}

}  // namespace vorsk_test
