// Descriptions of cursor movement, editing, erasure, scrolling, tab stops,
// media copy and the device reports.
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "vocab/handlers.h"

namespace vorsk {

namespace {

// A noun after a count is singular only for exactly 1; "0 lines" too.
std::string_view plural(std::uint32_t count) {
    return count == 1 ? "" : "s";
}

// A text table indexed by a parameter value; a value past its end, or a
// slot left nullptr, has no line.
template <std::size_t N>
void print_indexed_text(LineWriter& w, const std::array<const char*, N>& texts,
                        std::uint32_t value) {
    if (value < N && texts[value] != nullptr) print_description(w, {texts[value]});
}

// CTC value v and TBC value v - 2 name the same operation, so the two share
// one table: CTC reads it from 0 to 6, TBC from 2 to 7.
constexpr auto tab_stop_texts = std::to_array<const char*>({
    /* CTC 0 */ "Set a horizontal tab stop at the cursor position.",
    /* CTC 1 */ "Set a vertical tab stop at the current line.",
    /* CTC 2, TBC 0 */ "Clear the horizontal tab stop at the cursor position.",
    /* CTC 3, TBC 1 */ "Clear the vertical tab stop at the current line.",
    /* CTC 4, TBC 2 */ "Clear all horizontal tab stops in the current line.",
    /* CTC 5, TBC 3 */ "Clear all horizontal tab stops.",
    /* CTC 6, TBC 4 */ "Clear all vertical tab stops.",
    /* TBC 5 */ "Clear all tab stops.",
});
constexpr std::uint32_t MAX_CTC_VALUE = 6;
constexpr std::uint32_t MAX_TBC_VALUE = 5;
constexpr std::uint32_t TBC_OFFSET = 2;
static_assert(MAX_TBC_VALUE + TBC_OFFSET == tab_stop_texts.size() - 1);

constexpr auto media_copy_texts = std::to_array<const char*>({
    "Initiate transfer to a primary auxiliary device.",
    "Initiate transfer from a primary auxiliary device.",
    "Initiate transfer to a secondary auxiliary device.",
    "Initiate transfer from a secondary auxiliary device.",
    "Stop relay to a primary auxiliary device.",
    "Start relay to a primary auxiliary device.",
    "Stop relay to a secondary auxiliary device.",
    "Start relay to a secondary auxiliary device.",
});

// DEC's printer controls with "?"; 2 and 3 are not DEC's.
constexpr auto dec_media_copy_texts = std::to_array<const char*>({
    nullptr,
    "(DEC) Print current line.",
    nullptr,
    nullptr,
    "(DEC) Turn off autoprint mode.",
    "(DEC) Turn on autoprint mode.",
});

constexpr auto device_status_texts = std::to_array<const char*>({
    "Device reports ready.",
    "Device reports ready, send DSR request later.",
    "Device reports ready, will send DSR later.",
    "Device reports error, send DSR request later.",
    "Device reports error, will send DSR later.",
    "DSR requested.",
    "Request cursor position report.",
});

constexpr auto erase_in_field_texts = std::to_array<const char*>({
    "Clear from the cursor to the next tab stop.",
    "Clear from the previous tab stop to the cursor.",
    "Clear from the previous tab stop to the next tab stop.",
});

}  // namespace

// ICH: ECMA-48 8.3.64
VORSK_CSI_HANDLER(csi_do_ich) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Shift characters after the cursor to make room for ", Decimal(n),
                          " new character", plural(n), "."});
}

// CUU, CUD, CUF, CUB: ECMA-48 8.3.22, 8.3.19, 8.3.20, 8.3.18; with -X also
// VPR and HPR, which move as CUD and CUF do.
VORSK_CSI_HANDLER(csi_do_cuu) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    std::string_view direction = "left";
    std::string_view unit = "character";
    switch (a.final_byte()) {
        case 'A':
            direction = "up";
            unit = "line";
            break;
        case 'B':
        case 'e':
            direction = "down";
            unit = "line";
            break;
        case 'C':
        case 'a': direction = "right"; break;
        default: break;
    }
    print_description(w,
                      {"Move the cursor ", direction, " ", Decimal(n), " ", unit, plural(n), "."});
}

// CNL, CPL: ECMA-48 8.3.12, 8.3.13
VORSK_CSI_HANDLER(csi_do_cnl) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Move the cursor to the first column, ", Decimal(n), " line", plural(n),
                          " ", a.final_byte() == 'E' ? std::string_view{"down."} : "up."});
}

// CHA, HPA: ECMA-48 8.3.9, 8.3.57
VORSK_CSI_HANDLER(csi_do_cha) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Move the cursor to column ", Decimal(n), "."});
}

// CUP, HVP: ECMA-48 8.3.21, 8.3.63
VORSK_CSI_HANDLER(csi_do_cup) {
    assert(a.count == 2);
    const std::uint32_t line = amount(a, 0);
    const std::uint32_t column = amount(a, 1);
    print_description(
        w, {"Move the cursor to line ", Decimal(line), ", column ", Decimal(column), "."});
}

// CHT, CVT, CBT: ECMA-48 8.3.10, 8.3.23, 8.3.7
VORSK_CSI_HANDLER(csi_do_cht) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    // The qualifier carries its own blank, so CHT and CBT read without one.
    print_description(
        w, {"Move the cursor ", a.final_byte() == 'Z' ? std::string_view{"back "} : "forward ",
            Decimal(n), a.final_byte() == 'Y' ? std::string_view{" vertical "} : " ", "tab stop",
            plural(n), "."});
}

// ED, EL: ECMA-48 8.3.39, 8.3.41
VORSK_CSI_HANDLER(csi_do_ed) {
    assert(a.count == 1);
    assert(a.final_byte() == 'J' || a.final_byte() == 'K');
    const std::string_view area = a.final_byte() == 'J' ? "screen" : "line";
    switch (a.param(0)) {
        case 0:
            print_description(w, {"Clear from the cursor to the end of the ", area, "."});
            break;
        case 1:
            print_description(w, {"Clear from the beginning of the ", area, " to the cursor."});
            break;
        case 2: print_description(w, {"Clear the ", area, "."}); break;
        case 3:
            // xterm's, which the classic account leaves undescribed.
            if (a.extended && a.final_byte() == 'J')
                print_description(w, {"(Xterm) Clear the scrollback (saved lines)."});
            break;
        default: break;
    }
}

// IL: ECMA-48 8.3.67
VORSK_CSI_HANDLER(csi_do_il) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Shift lines after the cursor to make room for ", Decimal(n), " new line",
                          plural(n), "."});
}

// DL: ECMA-48 8.3.32
VORSK_CSI_HANDLER(csi_do_dl) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(
        w, {"Delete ", Decimal(n), " line", plural(n), ", shifting the following lines up."});
}

// EF: ECMA-48 8.3.40
VORSK_CSI_HANDLER(csi_do_ef) {
    assert(a.count == 1);
    print_indexed_text(w, erase_in_field_texts, a.param(0));
}

// DCH: ECMA-48 8.3.26
VORSK_CSI_HANDLER(csi_do_dch) {
    assert(a.count == 1);
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Delete ", Decimal(n), " character", plural(n),
                          ", shifting the following characters left."});
}

// CPR: ECMA-48 8.3.14, the terminal's answer to DSR 6
VORSK_CSI_HANDLER(csi_do_cpr) {
    assert(a.count == 2);
    print_description_line(w, "Report that the cursor is located at line %u, column %u", a.param(0),
                           a.param(1));
}

// SU, SD: ECMA-48 8.3.147, 8.3.113; after SP, SL and SR: 8.3.121, 8.3.135
VORSK_CSI_HANDLER(csi_do_su) {
    assert(a.count == 1);
    assert(a.final_byte() == 'S' || a.final_byte() == 'T' || a.final_byte() == 0x40 ||
           a.final_byte() == 'A');
    const std::uint32_t n = amount(a, 0);
    std::string_view direction = "up";
    std::string_view unit = "line";
    switch (a.final_byte()) {
        case 'T': direction = "down"; break;
        case 0x40:
            direction = "left";
            unit = "column";
            break;
        case 'A':
            direction = "right";
            unit = "column";
            break;
        default: break;
    }
    // The classic line ends without a full stop.
    print_description(w, {"Scroll ", direction, " by ", Decimal(n), " ", unit, plural(n),
                          a.extended ? std::string_view{"."} : ""});
}

// CTC: ECMA-48 8.3.17; an unknown value is skipped and the rest still described.
VORSK_CSI_HANDLER(csi_do_ctc) {
    for (std::size_t i = 0; i < a.count; ++i) {
        if (a.param(i) <= MAX_CTC_VALUE) {
            print_description(w, {tab_stop_texts[a.param(i)]});
        }
    }
}

// ECH: ECMA-48 8.3.38
VORSK_CSI_HANDLER(csi_do_ech) {
    const std::uint32_t n = amount(a, 0);
    print_description(w,
                      {"Erase ", Decimal(n), " character", plural(n), ", starting at the cursor."});
}

// DA: ECMA-48 8.3.24. Only the request is described; the terminal's answer
// carries its own values.
VORSK_CSI_HANDLER(csi_do_da) {
    if (a.param(0) != 0) {
        return;
    }
    print_description(w, {"Request terminal identification."});
}

// VPA: ECMA-48 8.3.158
VORSK_CSI_HANDLER(csi_do_vpa) {
    const std::uint32_t n = amount(a, 0);
    print_description(w, {"Move the cursor to line ", Decimal(n), "."});
}

// TBC: ECMA-48 8.3.154
VORSK_CSI_HANDLER(csi_do_tbc) {
    if (a.param(0) <= MAX_TBC_VALUE) {
        print_description(w, {tab_stop_texts[a.param(0) + TBC_OFFSET]});
    }
}

// MC: ECMA-48 8.3.82
VORSK_CSI_HANDLER(csi_do_mc) {
    print_indexed_text(w, media_copy_texts, a.param(0));
}

// MC with "?": DEC's printer controls.
VORSK_CSI_HANDLER(csi_do_dec_mc) {
    print_indexed_text(w, dec_media_copy_texts, a.param(0));
}

// DSR: ECMA-48 8.3.35
VORSK_CSI_HANDLER(csi_do_dsr) {
    print_indexed_text(w, device_status_texts, a.param(0));
}

}  // namespace vorsk
