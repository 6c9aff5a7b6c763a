// Descriptions of operating system commands.
#include "strings/control_string.h"
#include "strings/fields.h"

namespace vorsk {

void describe_osc(const ControlString& s, LineWriter& w) {
    (void)s;
    print_label_line(w, "%s: %s", "OSC", "OPERATING SYSTEM COMMAND");
}

}  // namespace vorsk
