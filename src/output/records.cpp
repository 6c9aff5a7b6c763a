// One-line records: escape lines of short sequences, labels, descriptions
// and delays. Each is one row, however long its text.
#include "output/colors.h"
#include "output/line_writer.h"

namespace vorsk {

void print_escape_line(LineWriter& w, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writer_single(w, &escape_color, ": ", format, args);
    va_end(args);
}

void print_label_line(LineWriter& w, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writer_single(w, &label_color, "& ", format, args);
    va_end(args);
}

void print_description_line(LineWriter& w, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writer_single(w, &description_color, "\" ", format, args);
    va_end(args);
}

void print_delay_line(LineWriter& w, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writer_single(w, &delay_color, "@ ", format, args);
    va_end(args);
}

}  // namespace vorsk
