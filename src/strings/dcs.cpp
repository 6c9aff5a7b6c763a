// Descriptions of device control strings.
#include "strings/control_string.h"
#include "strings/fields.h"

namespace vorsk {

void describe_dcs(const ControlString& s, LineWriter& w) {
    (void)s;
    print_label_line(w, "%s: %s", "DCS", "DEVICE CONTROL STRING");
}

}  // namespace vorsk
