// vorsk: shows what a stream of terminal control functions asks of the
// terminal, line by line.
#include <cstdio>
#include <cstdlib>

#include "decode/processor.h"
#include "driver/command_line.h"
#include "driver/main_loop.h"

int main(int argc, char** argv) {
    // Static: it holds what start-up allocates for the whole run.
    static vorsk::Session session;
    vorsk::setup_from_args(session, argc, argv);
    const int status = vorsk::run(session);
#if defined(__SANITIZE_ADDRESS__)
    return status;  // the leak check runs in the exit hooks
#else
    // The account is written. The process ends without the libraries'
    // teardown, which has nothing to give back and would only page in
    // their code: the terminal's settings are restored (the quick-exit
    // hooks), and what stdio holds is written first.
    std::fflush(nullptr);
    std::quick_exit(status);
#endif
}
