// entry.cpp: the runtime's side of the process entry, called by main() in the companion
// library: prepares the toolkit and calls the application's graphical entry.
#include "platform/entry.h"

#include <csignal>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

struct PlatformInstanceRecord {
    int unused;
};

namespace {
int failure_status = 0; // set when the runtime could not finish what the run was asked to leave
void (*program_end_handler)(void) = nullptr;
} // namespace

void platform_set_failure_status(int status) { failure_status = status; }

void platform_at_program_end(void (*handler)(void)) { program_end_handler = handler; }

int VORNA_run_main(int argc, char **argv, GraphicalMainFunction entry) {
    // Under a file-size limit a write past it must fail rather than end the program; the toolkit's
    // start-up may already write (a font cache), so this comes before it.
    std::signal(SIGXFSZ, SIG_IGN);
    platform_init(argc > 0 ? argv[0] : nullptr);
    static PlatformInstanceRecord instance_record{0};
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) command_line += ' ';
        command_line += argv[i];
    }
    const int SHOW_NORMAL = 1;
    const int status = entry(&instance_record, nullptr, command_line.data(), SHOW_NORMAL);
    if (program_end_handler) program_end_handler();
    const int result = status == 0 ? failure_status : status;
#ifdef __EMSCRIPTEN__
    // In the browser main() first returned long ago, when the program's first wait gave the page
    // its thread back; what it returns now goes nowhere. exit() ends the run and tells the page.
    std::exit(result);
#endif
    return result;
}
