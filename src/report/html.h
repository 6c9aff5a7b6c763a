// --html: the account as a self-contained HTML page. The writer composes
// the account as usual, unwrapped and coloured with a palette of marks (one
// letter per colour key), and hands each batch of output to the page, which
// turns the marks into elements as it streams: each line a row styled by
// its kind, an escape line with its label and descriptions a group that
// folds, the text of a text line in the attributes that the stream itself
// set (the pen, given by marks of its own), delay lines on a time line.
// Every other byte is escaped, so nothing from the input becomes markup.
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/colors.h"
#include "vocab/sgr.h"

namespace vorsk {

// The letters the writer's palette gives each colour key, for the page to
// read back.
void html_mark_palette(Palette& palette);

// Where the page's bytes go, and the state of the conversion.
using PageWrite = void (*)(void* arg, const char* bytes, std::size_t n);

struct HtmlPage;

// Yields nullptr when memory is exhausted. The style sheet is made from
// the palette of the user's colours (the built-in ones and VORSK_COLORS).
HtmlPage* html_page_new(const Palette& colors, PageWrite write, void* arg);
// The head of the page, before anything else.
void html_page_begin(HtmlPage& page);
// A batch of the writer's output.
void html_page_feed(HtmlPage& page, const char* bytes, std::size_t n);
// Closes what is open and ends the page.
void html_page_end(HtmlPage& page);

// The same two as a writer's filter, whose argument is the page.
void html_page_filter_feed(void* page, const char* bytes, std::size_t n);
void html_page_filter_end(void* page);

}  // namespace vorsk
