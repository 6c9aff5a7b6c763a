// The page's marks of who changed the screen, read as the writer composes
// them: the page's whole rows (its fast paths) must write what the marks
// read one by one write, however the batches are cut.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "report/html.h"

namespace vorsk {
namespace {

void append(void* out, const char* bytes, std::size_t n) {
    static_cast<std::string*>(out)->append(bytes, n);
}

// The page's main part, with the batch cut every `step` bytes (0: whole).
std::string page_of(std::string_view marked, bool general, std::size_t step) {
    std::string out;
    HtmlPage* page = html_page_new(Palette{}, append, &out);
    if (page == nullptr) return "";
    if (general) html_page_general_paths(*page);
    const std::size_t cut = step == 0 ? marked.size() : step;
    for (std::size_t i = 0; i < marked.size(); i += cut)
        html_page_feed(*page, marked.data() + i, std::min(cut, marked.size() - i));
    html_page_end(*page);
    html_page_free(page);
    const std::size_t main = out.find("<main>");
    return main == std::string::npos ? out : out.substr(main);
}

// A text line that paints with its first run, then painters whose marks
// come between rows, before an escape line and a text line that the fast
// paths would write whole, and one that ends a sequence's group of lines;
// a screen whose rows link to them, one row changed by nobody; marks that
// are no painter's.
constexpr std::string_view MARKED =
    "\x1b[bm|\x1b[m\x1b[am\x1b[=a13mhello\x1b[m\x1b[bm|\x1b[m\n"
    "\x1b[=a40m\x1b[dm: Esc [ K\x1b[m\n"
    "\x1b[em& EL: ERASE IN LINE\x1b[m\n"
    "\x1b[=a66m\x1b[cm. CR/^M\x1b[m\n"
    "\x1b[=a90m\x1b[bm|\x1b[m\x1b[amx\x1b[m\x1b[bm|\x1b[m\n"
    "\x1b[=a0m\x1b[=am\x1b[=b12;3m\x1b[=a200m= Screen at the end\n"
    "\x1b[=b40m=|he\x1b[m|\n"
    "\x1b[=b13m=|x\x1b[m|\n"
    "=|\x1b[m|\n"
    "\x1b[cm. CR/^M\x1b[m\n";

TEST(HtmlPagePainters, AnchorsTheirLinesAndLinksTheScreenRows) {
    const std::string page = page_of(MARKED, false, 0);
    EXPECT_NE(page.find("<p>|<i><a id=p13></a>hello</i>|</p>"), std::string::npos) << page;
    EXPECT_NE(page.find("<summary><a id=p40></a>: Esc [ K</summary>"), std::string::npos) << page;
    EXPECT_NE(page.find("ERASE IN LINE<a id=x1></a></b>\n<a id=p66></a></details>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<p><a id=p90></a>|<i>x</i>|</p>"), std::string::npos) << page;
    EXPECT_NE(page.find("<div><a id=p200></a>= Screen at the end"), std::string::npos) << page;
    const std::string_view title = " title=\"who changed this row last\"></a></div>";
    EXPECT_NE(page.find("<div>=|he|<a class=r href=\"#p40\"" + std::string(title)),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<div>=|x|<a class=r href=\"#p13\"" + std::string(title)),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<div>=||</div>"), std::string::npos) << page;
    // Malformed marks are neither anchors nor text, and the links' rules
    // come once.
    EXPECT_EQ(page.find("id=p0"), std::string::npos) << page;
    EXPECT_EQ(page.find("=a"), std::string::npos) << page;
    EXPECT_EQ(page.find(".r::after"), page.rfind(".r::after")) << page;
}

TEST(HtmlPagePainters, FastPathsWriteWhatTheGeneralPathsWrite) {
    const std::string general = page_of(MARKED, true, 0);
    EXPECT_EQ(page_of(MARKED, false, 0), general);
    for (const std::size_t step : {1, 3, 7})
        EXPECT_EQ(page_of(MARKED, false, step), general) << "batches of " << step;
}

}  // namespace
}  // namespace vorsk
