// main.cpp: vorna-mark's entry: marking, merging shards, calibrating, recording.
#include <cstdio>

#include "mark.h"

int main(int argc, char **argv) {
    Options options;
    if (argc < 2) {
        print_usage(stderr);
        return EXIT_MARK_USAGE;
    }
    if (!parse_options(argc, argv, &options)) return EXIT_MARK_USAGE;
    if (options.command == "merge") return merge_reports(options);
    if (options.command == "record") return record_model(options);
    if (options.command == "calibrate") return calibrate_model(options);
    return mark_class(options);
}
