// --html: the account as a self-contained HTML page. The writer composes
// the account as usual, unwrapped and coloured with a palette of marks (one
// letter per colour key), and hands each batch of output to the page, which
// turns the marks into elements as it streams: each line a row whose
// element tells its kind, an escape line with its label and descriptions a
// group that folds, the text of a text line in the attributes that the
// stream itself set (the pen, given by marks of its own), delay lines on a
// time line. The screens of --screen are drawn in their colours, and each
// of their rows links to the account line that changed it last (the
// painter), whose place a mark of its own anchors. Every other byte is
// escaped, so nothing from the input becomes markup. After the account comes the index of the
// markers, prompts, screens and the first line of each function, which the style sheet shows at the
// top.
#pragma once

#include <cstddef>
#include <cstdint>

#include "input/cast.h"
#include "output/colors.h"
#include "vocab/sgr.h"

namespace vorsk {

// The letters the writer's palette gives each colour key, for the page to
// read back.
void html_mark_palette(Palette& palette);

// Where the page's bytes go, and the state of the conversion.
using PageWrite = void (*)(void* arg, const char* bytes, std::size_t n);

struct HtmlPage;

// A page whose size passes this is said to be too large for a browser, on
// standard error, once.
inline constexpr std::uint64_t PAGE_WARN_SIZE = std::uint64_t{256} << 20;

// Yields nullptr when memory is exhausted. The style sheet is made from
// the palette of the user's colours (the built-in ones and VORSK_COLORS).
HtmlPage* html_page_new(const Palette& colors, PageWrite write, void* arg);
void html_page_free(HtmlPage* page);
// The colours a recording asked to be shown in: the stream's default
// colours and its first 16. Before the first batch.
void html_page_set_theme(HtmlPage& page, const Theme& theme);
// Who speaks in the warning of a page too large, and the size of the input
// when it is known (0 otherwise).
void html_page_set_input(HtmlPage& page, const char* program_name, std::uint64_t input_size);
// Every batch read mark by mark, without the fast paths, so that the two
// can be compared (VORSK_REFERENCE=1).
void html_page_general_paths(HtmlPage& page);
// The head of the page, before anything else; the first batch writes it
// when it was not.
void html_page_begin(HtmlPage& page);
// A batch of the writer's output.
void html_page_feed(HtmlPage& page, const char* bytes, std::size_t n);
// Closes what is open, writes the index and ends the page.
void html_page_end(HtmlPage& page);

// The same two as a writer's filter, whose argument is the page.
void html_page_filter_feed(void* page, const char* bytes, std::size_t n);
void html_page_filter_end(void* page);

}  // namespace vorsk
