#include "csi/sequence.h"

#include <cassert>

#include "decode/escape.h"

namespace vorsk {
namespace {

constexpr bool is_digit(int c) { return c >= '0' && c <= '9'; }
constexpr bool is_parameter_byte(int c) { return c >= 0x30 && c <= 0x3f; }
constexpr bool is_final_byte(int c) { return c >= 0x40 && c <= 0x7e; }
constexpr bool is_private_marker(int c) {
    return c == ':' || c == '<' || c == '=' || c == '>' || c == '?';
}

constexpr bool takes_two(ParamShape shape) {
    return shape == SHAPE_TWO_NUMERIC || shape == SHAPE_TWO_SELECTIVE;
}

// The echo " %d" of a value: its 32 bits read as signed, so 2^31 shows as
// -2147483648.
void echo_value(LineWriter& w, std::uint32_t value) {
    char item[12];
    char* end = item + sizeof item;
    char* digit = end;
    const bool negative = static_cast<std::int32_t>(value) < 0;
    std::uint32_t magnitude = negative ? 0u - value : value;
    do {
        *--digit = static_cast<char>('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    if (negative) *--digit = '-';
    *--digit = ' ';
    writer_putn(w, digit, static_cast<std::size_t>(end - digit));
}

bool arity_holds(ParamShape shape, std::size_t n) {
    switch (shape) {
        case SHAPE_ONE_NUMERIC:
        case SHAPE_ONE_SELECTIVE: return n == 1;
        case SHAPE_TWO_NUMERIC:
        case SHAPE_TWO_SELECTIVE: return n == 2;
        case SHAPE_NONE:
        case SHAPE_NUMERIC_LIST:
        case SHAPE_SELECTIVE_LIST: return true;
    }
    return true;
}

}  // namespace

const CsiFunction* scan_csi_sequence(Processor& p) {
    InputBuffer& in = *p.input;
    int c = input_get(in);
    const bool marked_private = is_private_marker(c);
    if (marked_private) c = input_get(in);
    // Without a private marker, only digits and ";" are parameter bytes.
    while (is_parameter_byte(c)) {
        if (!marked_private && !is_digit(c) && c != ';') return nullptr;
        c = input_get(in);
    }
    std::size_t n_intermediates = 0;
    int last_intermediate = 0;
    while (is_intermediate(c)) {
        ++n_intermediates;
        last_intermediate = c;
        c = input_get(in);
    }
    // A parameter byte after an intermediate, a control byte, DEL, a byte
    // from 0x80 up or the end of the look-ahead: not a control sequence.
    if (!is_final_byte(c)) return nullptr;
    input_rewind(in);
    return &lookup_csi_function(n_intermediates, static_cast<std::uint8_t>(last_intermediate),
                                static_cast<std::uint8_t>(c));
}

void process_csi_sequence(Processor& p, const CsiFunction& function) {
    InputBuffer& in = *p.input;
    LineWriter& w = *p.writer;
    const bool echo = writer_shows(w, ESCAPE_LINE);
    if (echo) {
        writer_start(w, ESCAPE_LINE);
        writer_putn(w, " Esc", 4);
    }
    [[maybe_unused]] const int bracket = input_get(in);
    assert(bracket == '[');
    if (echo) writer_putn(w, " [", 2);

    int b = input_get(in);
    const int marker = is_private_marker(b) ? b : 0;

    std::uint32_t params[MAX_CSI_PARAMS];
    std::size_t n_params = 0;
    std::uint32_t value = 0;
    int prev = -1;  // the byte before b; none for the first
    for (;;) {
        if (is_digit(b)) {
            // Modulo 2^32 by definition of the unsigned type.
            const auto digit = static_cast<std::uint32_t>(b - '0');
            value = is_digit(prev) ? value * 10u + digit : digit;
        } else {
            // Every byte that is not a digit ends the parameter before it.
            if (is_digit(prev)) {
                if (n_params < MAX_CSI_PARAMS) params[n_params++] = value;
                if (echo) echo_value(w, value);
            } else if (!(prev == -1 && marker != 0) && !is_intermediate(prev)) {
                const std::int32_t fallback = (n_params == 1 && takes_two(function.shape))
                                                  ? function.default2
                                                  : function.default1;
                if (n_params < MAX_CSI_PARAMS && fallback >= 0) {
                    params[n_params++] = static_cast<std::uint32_t>(fallback);
                }
            }
            if (echo) print_esc_char(p, b);
            if (is_final_byte(b)) break;
        }
        prev = b;
        b = input_get(in);
    }
    if (echo) writer_finish(w, "");

    if (function.acronym != nullptr) {
        print_label_line(w, "%s: %s%s", function.acronym, function.name,
                         marker != 0 ? " (private params)" : "");
    }

    if (writer_shows(w, DESCRIPTION_LINE) && function.handler != nullptr) {
        if (n_params == 0 && function.default1 != -1) {
            params[n_params++] = static_cast<std::uint32_t>(function.default1);
        }
        if (n_params == 1 && takes_two(function.shape)) {
            params[n_params++] = static_cast<std::uint32_t>(function.default2);
        }
        if (arity_holds(function.shape, n_params)) {
            function.handler(static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(marker), w,
                             n_params, params);
        }
    }
}

}  // namespace vorsk
