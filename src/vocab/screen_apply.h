// What a parsed sequence does to the screen.
#pragma once

#include "parse/sequence.h"
#include "screen/screen.h"

namespace vorsk {

void screen_apply_sequence(Screen& s, const Sequence& seq);

}  // namespace vorsk
