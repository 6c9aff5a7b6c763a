// Descriptions of application program commands.
#include "strings/control_string.h"
#include "strings/fields.h"

namespace vorsk {

void describe_apc(const ControlString& s, LineWriter& w) {
    (void)s;
    print_label_line(w, "%s: %s", "APC", "APPLICATION PROGRAM COMMAND");
}

}  // namespace vorsk
