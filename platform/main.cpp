// main.cpp: the process entry. Prepares the toolkit and calls the application's graphical entry
// with the program instance, no previous instance, the arguments joined by spaces and the
// normal show mode.
#include <string>

#include "platform/platform.h"
#include "vorna.h"

struct PlatformInstanceRecord {
    int unused;
};

int main(int argc, char **argv) {
    platform_init(&argc, argv);
    static PlatformInstanceRecord instance_record{0};
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) command_line += ' ';
        command_line += argv[i];
    }
    const int SHOW_NORMAL = 1;
    return graphical_main(&instance_record, nullptr, command_line.data(), SHOW_NORMAL);
}
