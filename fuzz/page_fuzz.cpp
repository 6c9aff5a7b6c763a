// The page of --html over any bytes at all, marks and not: what it writes
// is UTF-8 in which every "<" begins one of its own tags, in balance, so
// that no byte it is handed can become markup, and its fast paths write
// what its general path writes. The first byte chooses how
// the rest is cut into batches, as the writer's drains cut its output.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "report/html.h"

namespace {

void fail(const char* what, const std::string& page, std::size_t at) {
    std::fprintf(stderr, "page: %s at %zu: %.60s\n", what, at, page.c_str() + at);
    std::abort();
}

void append(void* arg, const char* bytes, std::size_t n) {
    static_cast<std::string*>(arg)->append(bytes, n);
}

constexpr std::string_view TAGS[] = {"html", "head",    "meta",    "title", "style", "body", "main",
                                     "nav",  "div",     "p",       "u",     "b",     "q",    "i",
                                     "span", "details", "summary", "a",     "ol",    "li"};

// The name of the tag at page[at] ("<" or "</"), or empty.
std::string_view tag_name(const std::string& page, std::size_t at, bool& closing) {
    std::size_t i = at + 1;
    closing = i < page.size() && page[i] == '/';
    if (closing) ++i;
    for (const std::string_view name : TAGS) {
        if (page.compare(i, name.size(), name) != 0) continue;
        const char after = i + name.size() < page.size() ? page[i + name.size()] : '\0';
        if (after == '>' || after == ' ') return name;
    }
    return {};
}

void check_utf8(const std::string& page) {
    for (std::size_t i = 0; i < page.size();) {
        const auto b = static_cast<unsigned char>(page[i]);
        const int n = b < 0x80                 ? 1
                      : b >= 0xc2 && b <= 0xdf ? 2
                      : b >= 0xe0 && b <= 0xef ? 3
                      : b >= 0xf0 && b <= 0xf4 ? 4
                                               : 0;
        if (n == 0 || i + n > page.size()) fail("a byte that is no UTF-8", page, i);
        for (int k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(page[i + k]) & 0xc0) != 0x80)
                fail("a broken UTF-8 sequence", page, i);
        }
        if (b < 0x20 && b != '\n') fail("a control character", page, i);
        i += static_cast<std::size_t>(n);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t batch = 1 + data[0] % 64;
    const auto* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t n = size - 1;

    std::string page;
    vorsk::Palette colors = vorsk::configured_palette(nullptr);
    vorsk::HtmlPage* html = vorsk::html_page_new(colors, append, &page);
    if (html == nullptr) return 0;
    vorsk::html_page_begin(*html);
    const std::size_t head = page.size();
    for (std::size_t at = 0; at < n; at += batch)
        vorsk::html_page_feed(*html, bytes + at, n - at < batch ? n - at : batch);
    vorsk::html_page_end(*html);
    std::free(html);

    // The fast paths write what the mark-by-mark path writes, whatever the
    // batches.
    std::string general;
    vorsk::HtmlPage* reference = vorsk::html_page_new(colors, append, &general);
    if (reference == nullptr) return 0;
    vorsk::html_page_general_paths(*reference);
    vorsk::html_page_feed(*reference, bytes, n);
    vorsk::html_page_end(*reference);
    std::free(reference);
    if (general != page) {
        std::size_t at = 0;
        while (at < page.size() && at < general.size() && page[at] == general[at]) ++at;
        fail("the fast paths write another page than the general path", page, at);
    }

    check_utf8(page);
    // Past the head, which opens html, body and main, only the page's own
    // elements, each closed in turn.
    std::string_view open[64] = {"html", "body", "main"};
    std::size_t depth = 3;
    for (std::size_t at = page.find('<', head); at != std::string::npos;
         at = page.find('<', at + 1)) {
        bool closing = false;
        const std::string_view name = tag_name(page, at, closing);
        if (name.empty()) fail("a \"<\" that begins no tag of the page", page, at);
        if (!closing) {
            if (depth == std::size(open)) fail("elements nested too deep", page, at);
            open[depth++] = name;
        } else if (depth == 0 || open[--depth] != name) {
            fail("an element closed out of turn", page, at);
        }
    }
    if (depth != 0) fail("an element left open", page, page.size() - 1);
    if (page.find('>', head) != std::string::npos) {
        // Every ">" ends a tag: none is the input's.
        for (std::size_t at = head, lt = head; (at = page.find('>', at)) != std::string::npos;
             ++at) {
            lt = page.rfind('<', at);
            if (lt == std::string::npos || lt < head || page.find('>', lt) != at)
                fail("a \">\" outside a tag", page, at);
        }
    }
    return 0;
}
