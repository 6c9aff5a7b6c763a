// The invariant checker itself: it must reject the faults it is there to
// catch, or the corpus and fuzz runs that rely on it prove nothing.
#include "invariants.h"

#include <gtest/gtest.h>

#include <string>

namespace vorsk_test {
namespace {

std::string text_row(std::size_t n, char c = 'a') {
    return std::string(n, c);
}

OutputShape no_carets() {
    OutputShape shape;
    shape.print_carets = false;
    return shape;
}
OutputShape no_escapes() {
    OutputShape shape;
    shape.print_escapes = false;
    return shape;
}
OutputShape colours() {
    OutputShape shape;
    shape.colors = true;
    return shape;
}
OutputShape delays() {
    OutputShape shape;
    shape.delays = true;
    return shape;
}

TEST(Invariants, AcceptWellFormedAccounts) {
    const std::string account =
        "|ls|\n"
        ". CR/^M LF/^J\n"
        ": Esc [ 1 ; 31 m\n"
        "& SGR: SELECT GRAPHIC RENDITION\n"
        "\" Set bold text.\n"
        "|" +
        text_row(75) +
        "|-\n"
        "-|" +
        text_row(3) +
        "|.\n"
        "||.\n"
        ": Esc 7\n"
        "& DECSC: SAVE CURSOR\n"
        ": Esc [ ? 4 h\n"
        "& SM: SET MODE (private params)\n"
        "\" (DEC) Smooth scrolling: allow no more than 6 lines to be added\n"
        "\"  to the screen per second.\n";
    EXPECT_EQ("", check_invariants(account));
    EXPECT_EQ("", check_invariants(". NUL DEL x9B\n", no_carets()));
    EXPECT_EQ("", check_invariants("\x1b[1m|\x1b[m\x1b[36;7mab\x1b[m\x1b[1m|.\x1b[m\n", colours()));
    EXPECT_EQ("", check_invariants("@ 1.500000\n|x|\n@ -0.250000\n", delays()));
    // An escape line wrapped before a piece that would pass column 78.
    std::string escape = ": Esc [";
    while (escape.size() + 2 <= 78) escape += " ;";
    EXPECT_EQ("", check_invariants(escape + "\n:  -2147483648 m\n"));
}

TEST(Invariants, RejectBrokenRows) {
    const struct {
        const char* why;
        std::string account;
        OutputShape shape;
    } broken[] = {
        {"unterminated", "|ab|", {}},
        {"empty row", "|a|\n\n", {}},
        {"text row wrapped early", "|" + text_row(74) + "|-\n-|a|\n", {}},
        {"text row too wide", "|" + text_row(76) + "|\n", {}},
        {"wrap not continued", "|" + text_row(75) + "|-\n|a|\n", {}},
        {"continuation without wrap", "|a|\n-|b|\n", {}},
        {"no closing bar", "|abc\n", {}},
        {"unknown control item", ". CR/^M FOO\n", {}},
        {"wrong caret", ". CR/^J\n", {}},
        {"caret with carets off", ". CR/^M\n", no_carets()},
        {"lower-case hex", ". x9b\n", {}},
        {"hex below 80", ". x41\n", {}},
        {"control line wrapped early", ". NUL/^@\n. NUL/^@\n", {}},
        {"escape piece no byte", ": Esc [ 007 m\n", {}},
        {"escape number too large", ": Esc [ 2147483648 m\n", {}},
        {"escape row with escapes off", ": Esc 7\n", no_escapes()},
        {"escape wrapped early", ": Esc [ 1\n:  m\n", {}},
        {"label without escape", "|a|\n& CUP: CURSOR POSITION\n", {}},
        {"description after text", "|a|\n\" Set bold text.\n", {}},
        {"second line alone", ": Esc 7\n\"  to the screen\n", {}},
        {"ESC with colours off", "|\x1b[1ma|\n", {}},
        {"ESC not a colour",
         "|\x1b"
         "7a|\n",
         colours()},
        {"raw control byte", "|a\tb|\n", {}},
        {"delay without timing", "@ 1.000000\n", {}},
        {"malformed delay", "@ 1.5\n", delays()},
        {"unknown kind", "# hello\n", {}},
    };
    for (const auto& b : broken) {
        EXPECT_NE("", check_invariants(b.account, b.shape)) << b.why;
    }
}

}  // namespace
}  // namespace vorsk_test
