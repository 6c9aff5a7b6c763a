// vorsk: shows what a stream of terminal control functions asks of the
// terminal, line by line.
#include "decode/processor.h"
#include "driver/command_line.h"
#include "driver/main_loop.h"

int main(int argc, char** argv) {
    vorsk::Processor p{};
    vorsk::setup_from_args(p, argc, argv);
    return vorsk::run(p);
}
