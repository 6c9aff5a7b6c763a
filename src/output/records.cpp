// The one-line records of each kind: escape lines of short sequences,
// labels, descriptions, delays and metadata. Each is one row, however long its text.
#include "output/line_writer.h"

namespace vorsk {

void print_escape_line(LineWriter& w, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writer_single(w, ESCAPE_LINE, format, args);
    va_end(args);
}

void print_label_line(LineWriter& w, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writer_single(w, LABEL_LINE, format, args);
    va_end(args);
}

void print_description_line(LineWriter& w, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writer_single(w, DESCRIPTION_LINE, format, args);
    va_end(args);
}

void print_metadata_line(LineWriter& w, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writer_single(w, METADATA_LINE, format, args);
    va_end(args);
}

void print_delay_line(LineWriter& w, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writer_single(w, DELAY_LINE, format, args);
    va_end(args);
}

}  // namespace vorsk
