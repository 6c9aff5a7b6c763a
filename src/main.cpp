// vorsk: shows what a stream of terminal control functions asks of the
// terminal, line by line.
#include "decode/processor.h"
#include "driver/command_line.h"
#include "driver/main_loop.h"

int main(int argc, char** argv) {
    // Static: it holds what start-up allocates for the whole run.
    static vorsk::Session session;
    vorsk::setup_from_args(session, argc, argv);
    return vorsk::run(session);
}
