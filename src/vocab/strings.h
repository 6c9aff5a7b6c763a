// Control strings (OSC, DCS, APC, PM, SOS): each family's describer, the
// labels the summary shows, and where a string's bulk data begins.
#pragma once

#include <cstdint>
#include <string_view>

#include "output/line_writer.h"
#include "parse/control_string.h"

namespace vorsk {

// Describes a string once it has ended: a label line, then description
// lines. Each family has its own describer.
void describe_string(const ControlString& s, LineWriter& w);
void describe_osc(const ControlString& s, LineWriter& w);
void describe_dcs(const ControlString& s, LineWriter& w);
void describe_apc(const ControlString& s, LineWriter& w);
// Typed input: OSC 4 or OSC 10 to 19 with colours, the terminal's report
// of them; false for anything else.
bool describe_color_report(const ControlString& s, LineWriter& w);

// The names describers give: an OSC number's label (nullptr for a number
// without one), and the label of a device control string's function from
// its head ("DECRQSS: REQUEST SELECTION OR SETTING"), or nullptr.
const char* osc_label(std::uint32_t number);
const char* dcs_label(std::string_view text);

// Where the bulk data of a string begins, judged from the head so far
// after each byte: NO_BULK while it cannot tell yet.
std::uint64_t find_bulk_start(const ControlString& s, bool& decided);

}  // namespace vorsk
