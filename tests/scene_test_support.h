// scene_test_support.h: shared set-up for the car scene tests: a started runtime and a
// capture of the drawing log.
#pragma once

#include <string>
#include <vector>

#include "app/scene.h"
#include "platform/platform_test.h"
#include "runtime_internal.h"

// Starts the runtime once per test process.
inline void ensure_runtime_started() {
    static bool started = false;
    if (!started) {
        VORNA_startup(nullptr, nullptr, (char *)"", 1);
        started = true;
    }
}

// Collects every console line (trailing newline removed) while it is alive, with the
// drawing log switched on.
struct LogCapture {
    static std::vector<std::string> &lines() {
        static std::vector<std::string> collected;
        return collected;
    }
    static void observe(const char *line) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        lines().push_back(text);
    }
    LogCapture() {
        ensure_runtime_started();
        lines().clear();
        console_observer = &LogCapture::observe;
        VORNA_set_logging(1);
    }
    ~LogCapture() {
        VORNA_set_logging(0);
        console_observer = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;
};
