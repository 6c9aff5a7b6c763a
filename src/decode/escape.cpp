#include "decode/escape.h"

#include <array>
#include <cassert>
#include <cstring>
#include <string_view>

#include "decode/sequence_memo.h"
#include "decode/strings.h"
#include "parse/parser.h"
#include "vocab/control_sequence.h"
#include "vocab/designations.h"
#include "vocab/echo.h"
#include "vocab/escapes.h"
#include "vocab/keys_input.h"

namespace vorsk {
namespace {

// With --html: the pen after SGR, and after a reset of the terminal
// (RIS, DECSTR); a change is marked in the output for the page.
void update_pen(Processor& p, const Sequence& s) {
    const Pen before = *p.pen;
    if (s.kind == FS_SEQUENCE && s.final_byte == 'c') {
        *p.pen = Pen{};
    } else if (s.kind == CSI_SEQUENCE && s.marker == 0 && s.n_intermediates == 1 &&
               s.intermediates[0] == '!' && s.final_byte == 'p') {
        *p.pen = Pen{};
    } else if (s.kind == CSI_SEQUENCE && s.marker == 0 && s.n_intermediates == 0 &&
               s.final_byte == 'm') {
        pen_apply(*p.pen, s.params, s.n_params, p.extended);
    }
    if (*p.pen == before) return;
    mark_pen(p);
}

}  // namespace

void mark_pen(Processor& p) {
    char mark[PEN_MARK_SIZE];
    writer_raw(*p.writer, mark, format_pen_mark(mark, *p.pen));
}

namespace {

// The lines of a parsed sequence: its escape line, its label, its
// descriptions.
void report_sequence(Processor& p, const Sequence& s) {
    LineWriter& w = *p.writer;
    switch (s.kind) {
        case CSI_SEQUENCE:
            echo_control_sequence(w, s);
            if (p.keys) {
                // An X10 mouse report: CSI M and three bytes of its own.
                if (s.final_byte == 'M' && s.marker == 0 && s.n_intermediates == 0 &&
                    s.n_params == 1 && !s.params[0].present) {
                    // Mode 1005 writes each value as a UTF-8 character.
                    std::uint32_t report[3];
                    bool complete = true;
                    bool utf8 = false;
                    for (std::uint32_t& r : report) {
                        const int c = input_get(*p.input);
                        complete = complete && c != EOF;
                        r = c == EOF ? 0 : static_cast<std::uint32_t>(c);
                        if (c != EOF && utf8_length(static_cast<std::uint8_t>(c)) == 2) {
                            const int next = input_get(*p.input);
                            r = (r & 0x1Fu) << 6 | (static_cast<std::uint32_t>(next) & 0x3Fu);
                            utf8 = true;
                        }
                    }
                    if (complete) {
                        describe_x10_mouse(w, report[0], report[1], report[2], utf8);
                        break;
                    }
                }
                if (describe_key_sequence(s, w, p.queries)) break;
                if (describe_answer_sequence(s, w, p.queries)) break;
            }
            describe_control_sequence(s, w, p.extended);
            break;
        case NF_SEQUENCE:
            echo_nf_sequence(w, s);
            describe_nf_sequence(w, s, p.extended);
            break;
        case FE_SEQUENCE:
            // SS3 and a key: what an application-mode key sends.
            if (p.keys && s.final_byte == 'O') {
                input_mark(*p.input);
                const int c = input_get(*p.input);
                if (c > 0x20 && c < 0x7f) {
                    input_commit(*p.input);
                    // The key's byte is part of what the key sends.
                    p.sequence.bytes[p.sequence.n_bytes++] = static_cast<std::uint8_t>(c);
                    print_escape_line(w, "Esc O %c", c);
                    describe_ss3_key(w, static_cast<std::uint8_t>(c));
                    break;
                }
                input_rewind(*p.input);
            }
            report_two_byte_escape(w, s, p.extended && !p.keys);
            break;
        case FP_SEQUENCE: report_two_byte_escape(w, s, p.extended && !p.keys); break;
        case FS_SEQUENCE: report_two_byte_escape(w, s, p.extended && !p.keys); break;
    }
}

// The same, kept in the memo when the writer can replay it. The memo is
// only made where the lines depend on nothing but the bytes: not for typed
// input, which reads on past the sequence.
[[gnu::always_inline]] inline void report_sequence_once(Processor& p, SequenceMemo& memo,
                                                        const Sequence& s) {
    LineWriter& w = *p.writer;
    if (s.n_bytes > MEMO_KEY_SIZE || p.tally != nullptr || !writer_replayable(w)) {
        report_sequence(p, s);
        return;
    }
    const bool was_open = w.column != 0;
    const std::uint64_t start = writer_offset(w);
    report_sequence(p, s);
    std::size_t size = 0;
    if (const char* text = writer_output_since(w, start, was_open, &size))
        memo_keep(memo, memo_key(s.bytes, s.n_bytes), text, size);
}

// The same where each sequence is parsed all the same (the screen wants
// its values): the memo is asked after parsing.
void report_parsed_sequence(Processor& p, SequenceMemo& memo, const Sequence& s) {
    if (s.n_bytes <= MEMO_KEY_SIZE && p.tally == nullptr && writer_replayable(*p.writer)) {
        if (const MemoSlot* slot = memo_find(memo, memo_key(s.bytes, s.n_bytes))) {
            writer_replay_general(*p.writer, slot->text, slot->text_size);
            return;
        }
    }
    report_sequence_once(p, memo, s);
}

// The length of a sequence after ESC in its commonest forms: ESC "[", an
// optional private marker, digits and ";", a final byte; ESC, one
// intermediate, a final byte; ESC and one byte. 0 for anything else, or
// where the bytes end first.
[[gnu::always_inline]] inline std::size_t common_sequence_length(const std::uint8_t* bytes,
                                                                 std::size_t n) {
    const std::uint8_t first = bytes[0];
    if (first == '[') {
        std::size_t i = 1;
        if (i < n && is_private_marker(bytes[i])) ++i;
        while (i < n && (is_digit(bytes[i]) || bytes[i] == ';')) ++i;
        return i < n && bytes[i] >= 0x40 && bytes[i] <= 0x7e ? i + 1 : 0;
    }
    if (first >= 0x30 && first <= 0x7e) return 1;
    if (first >= 0x20 && first <= 0x2f && n >= 2 && bytes[1] >= 0x30 && bytes[1] <= 0x7e) return 2;
    return 0;
}

// A sequence whose lines the memo holds, taken from the bytes the input
// holds without parsing it again: parsing is the same for the same bytes,
// and a sequence ends at its final byte whatever follows. False, with
// nothing read, where the memo has not got it.
template <bool WithScreen>
bool replay_sequence(Processor& p, SequenceMemo& memo) {
    InputBuffer& in = *p.input;
    const std::uint8_t* bytes = nullptr;
    std::size_t n = input_peek(in, &bytes);
    // Sixteen bytes are read for the key.
    if (n < 2 * sizeof(std::uint64_t)) return false;
    if (n > input_lookahead_limit(in)) n = input_lookahead_limit(in);
    const std::size_t length = common_sequence_length(bytes, n);
    if (length == 0 || length > MEMO_KEY_SIZE) return false;
    const MemoKey key = memo_key(bytes, length);
    const MemoSlot* slot = memo_find(memo, key);
    if (slot == nullptr) return false;
    // With the screen the sequence's step is wanted too.
    const StepSlot* step = nullptr;
    if constexpr (WithScreen) {
        step = screen_find_step(*p.screen, *slot, key);
        if (step == nullptr) return false;
    }
    input_skip(in, length);
    writer_replay(*p.writer, slot->text, slot->text_size);
    if constexpr (WithScreen) screen_step_sequence(p, *step);
    p.line.control_break = 1;
    return true;
}

// Typed input: ESC and a printable byte or DEL that came with it is that
// key with Alt. The introducers of sequences and strings ("[", "O", "]",
// "P", "_", "^", "X") are Alt keys only where nothing follows them.
bool is_alt_key(const Processor& p, int c) {
    if (c != 0x7f && !is_printable(c)) return false;
    return std::string_view("[O]P_^X").find(static_cast<char>(c)) == std::string_view::npos ||
           !input_holds_more(*p.input);
}

void report_alt_key(Processor& p, std::uint8_t c) {
    if (p.tally != nullptr) tally_alt_key(*p.tally, c, tally_offset(p, 2));
    if (c == 0x7f) {
        print_escape_line(*p.writer, "Esc DEL");
    } else if (c == ' ') {
        print_escape_line(*p.writer, "Esc Spc");
    } else {
        print_escape_line(*p.writer, "Esc %c", c);
    }
    describe_alt_key(*p.writer, c);
    p.line.control_break = 1;
}

// After ESC that no sequence follows: the byte after it, typed with it.
bool alt_key_after_escape(Processor& p) {
    InputBuffer& in = *p.input;
    if (!input_holds_more(in)) return false;
    input_mark(in);
    const int c = input_get(in);
    if (!is_alt_key(p, c)) {
        input_rewind(in);
        return false;
    }
    input_commit(in);
    report_alt_key(p, static_cast<std::uint8_t>(c));
    return true;
}

// A parsed sequence, in extended mode where the input is typed or the
// output's queries are noted: true where it was typed as an Alt key.
bool typed_or_asked(Processor& p, const Sequence& s) {
    if (!p.keys) {
        note_query(*p.queries, query_of_sequence(s));
        return false;
    }
    if (s.kind == CSI_SEQUENCE || s.n_bytes != 1 || !is_alt_key(p, s.final_byte)) return false;
    report_alt_key(p, s.final_byte);
    return true;
}

}  // namespace

bool process_escape_sequence(Processor& p) {
    if (memo_applies(p)) {
        if (replay_sequence<false>(p, *p.memo)) return true;
    } else if (p.parsed_memo != nullptr && p.tally == nullptr && writer_replayable(*p.writer)) {
        if (replay_sequence<true>(p, *p.parsed_memo)) return true;
    }
    Sequence& s = p.sequence;
    if (!parse_sequence(*p.input, s, p.extended)) return p.keys && alt_key_after_escape(p);
    if (p.extended) {
        if (p.listens && typed_or_asked(p, s)) return true;
        // Typed, ESC k is Alt and k, no title.
        if ((s.kind == FE_SEQUENCE && is_string_introducer(s.final_byte)) ||
            (s.kind == FS_SEQUENCE && s.final_byte == TITLE_INTRODUCER && !p.keys)) {
            begin_string(p, s.final_byte);
            return true;
        }
    }
    if (p.tally != nullptr) {
        tally_sequence(*p.tally, s,
                       s.kind == CSI_SEQUENCE ? lookup_csi_function(s, p.extended) : CsiLookup{},
                       tally_offset(p, 1 + s.n_bytes), p.keys);
    }
    if (p.memo != nullptr) {
        report_sequence_once(p, *p.memo, s);
    } else if (p.parsed_memo != nullptr) {
        report_parsed_sequence(p, *p.parsed_memo, s);
    } else {
        report_sequence(p, s);
        // Where there is a capability line or a check there is no memo.
        if (p.terminfo != nullptr) {
            write_capability_line(*p.terminfo, *p.writer, s, tally_offset(p, 1 + s.n_bytes),
                                  p.keys);
        }
        if (p.check != nullptr && !p.keys)
            check_sequence(*p.check, s, tally_offset(p, 1 + s.n_bytes), p.extended);
    }
    if (p.pen != nullptr) update_pen(p, s);
    if (p.screen != nullptr && !p.keys) screen_sequence(p, s);
    p.line.control_break = 1;
    return true;
}

}  // namespace vorsk
