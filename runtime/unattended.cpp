// unattended.cpp: running a program without anyone at it, for marking, through five
// environment variables read at start-up:
//     VORNA_PLAY=script      playback of that script starts at once (unpaced, as Ctrl+P plays);
//                            playback reads that file for the whole run, recording still
//                            writes VORNA.SCR
//     VORNA_PLAY_EXIT=1      when that playback ends by itself, the program gets EVENT_QUIT
//     VORNA_PICTURE=file     shut-down saves the canvas there as PNG
//     VORNA_LOG=file         every printed line and every drawing-log line (logging on or off)
//                            is appended there, one line each, in the order they happen
//     VORNA_ANSWERS=file     VORNA_gets shows no dialog: each call takes the next line of the
//                            file as its entry
// An empty variable counts as unset. A value that cannot work is found before any window opens
// and ends the process with status 2 and a message on stderr, so a marking script never waits
// on a run that was doomed from the start. What only shut-down can find out (the picture or the
// log could not be written after all) is reported on the console and on stderr, and the process
// then ends with status 3 when the program itself returned 0.
//
// The fields this file sets are read where they act: script.cpp reads and quits by play_script
// and play_exit, console.cpp writes every line through unattended_log_line, prompt.cpp answers
// from the answers file, and itself when unattended_without_user.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime_internal.h"

namespace {

enum {
    EXIT_BAD_ENVIRONMENT = 2, // a variable names something that cannot work
    EXIT_UNFINISHED = 3,      // the picture or the log could not be written
};

// The variable's value, or null when it is unset or empty.
const char *variable(const char *name) {
    const char *value = std::getenv(name);
    return value && value[0] != '\0' ? value : nullptr;
}

[[noreturn]] void refuse(const char *name, const char *value, const char *what, const char *reason) {
    std::fprintf(stderr, "%s=%s: %s: %s\n", name, value, what, reason);
    std::exit(EXIT_BAD_ENVIRONMENT);
}

// Opens a file that must be a regular file that can be read; refuses the variable otherwise.
// The open must not wait, for a FIFO's writer for example.
int open_regular(const char *name, const char *path, const char *what) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) refuse(name, path, what, std::strerror(errno));
    struct stat status;
    const char *reason = fstat(fd, &status) == 0 ? not_regular_reason(&status) : std::strerror(errno);
    if (reason) {
        close(fd);
        refuse(name, path, what, reason);
    }
    return fd;
}

// The script must be a regular file that can be read (see script.cpp for why only that).
void check_play_script(const char *path) { close(open_regular("VORNA_PLAY", path, "cannot read the script")); }

// The answers are read a line per prompt for the whole run, from a regular file as the script.
std::FILE *open_answers(const char *path) {
    const int fd = open_regular("VORNA_ANSWERS", path, "cannot read the answers");
    std::FILE *file = fdopen(fd, "rb");
    if (!file) refuse("VORNA_ANSWERS", path, "cannot read the answers", std::strerror(errno));
    return file;
}

// The picture's folder must take a new file: one is created there and removed again.
void check_picture_path(const char *path) {
    struct stat status;
    if (stat(path, &status) == 0 && not_regular_reason(&status))
        refuse("VORNA_PICTURE", path, "cannot save the picture there", not_regular_reason(&status));
    char temp[PATH_MAX + 32];
    const int fd = create_temp_beside(path, temp, sizeof temp);
    if (fd < 0) refuse("VORNA_PICTURE", path, "cannot save the picture there", std::strerror(errno));
    close(fd);
    unlink(temp);
}

// The log is opened for appending now and kept open; a pipe or a terminal will do as well.
int open_log(const char *path) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) refuse("VORNA_LOG", path, "cannot write the log", std::strerror(errno));
    // The open must not wait for a FIFO's reader; the writes may, as writes to a pipe do.
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

// Something the run was asked to leave behind is missing: said on the console (and so in the
// log while it is open) and on stderr, where a marking script sees it.
void report_unfinished(const char *line) {
    VORNA_print("%s", line);
    std::fputs(line, stderr);
    platform_set_failure_status(EXIT_UNFINISHED);
}

} // namespace

void unattended_read_environment(void) {
    const char *play = variable("VORNA_PLAY");
    const char *play_exit = variable("VORNA_PLAY_EXIT");
    const char *picture = variable("VORNA_PICTURE");
    const char *log = variable("VORNA_LOG");
    const char *answers = variable("VORNA_ANSWERS");

    if (play_exit && std::strcmp(play_exit, "0") != 0 && std::strcmp(play_exit, "1") != 0)
        refuse("VORNA_PLAY_EXIT", play_exit, "not understood", "use 1 to quit when the script ends, or 0");
    if (play) check_play_script(play);
    if (picture) check_picture_path(picture);
    std::FILE *answers_file = answers ? open_answers(answers) : nullptr;
    const int log_fd = log ? open_log(log) : -1;

    // Copies: the program may change its environment later.
    runtime_state.play_script = play ? strdup(play) : nullptr;
    runtime_state.play_exit = play && play_exit && play_exit[0] == '1';
    runtime_state.picture_path = picture ? strdup(picture) : nullptr;
    runtime_state.log_path = log ? strdup(log) : nullptr;
    runtime_state.log_fd = log_fd;
    runtime_state.answers_path = answers ? strdup(answers) : nullptr;
    runtime_state.answers = answers_file;
}

void unattended_begin(void) {
    if (runtime_state.play_script && !runtime_state.playback) toggle_playback();
}

void unattended_finish(void) {
    if (runtime_state.picture_path) {
        const char *reason = save_picture_file(runtime_state.picture_path);
        if (reason) {
            char line[FORMAT_BUFFER_SIZE];
            std::snprintf(line, sizeof line, "Cannot save picture to %s: %s\n", runtime_state.picture_path, reason);
            report_unfinished(line);
        }
        std::free(runtime_state.picture_path);
        runtime_state.picture_path = nullptr; // saved once, by the first shut-down
    }
    if (runtime_state.log_fd >= 0) {
        close(runtime_state.log_fd);
        runtime_state.log_fd = -1;
    }
}

bool unattended_without_user(void) { return runtime_state.play_exit; }

void unattended_log_line(const char *text) {
    if (runtime_state.log_fd < 0) return;
    // One line in the file for one printed line: the trailing newline goes (as on the console),
    // and a line break inside the text is written as \n (\r for a carriage return).
    char line[2 * FORMAT_BUFFER_SIZE + 2];
    std::size_t n = 0;
    const std::size_t length = std::strlen(text);
    const std::size_t end = length > 0 && text[length - 1] == '\n' ? length - 1 : length;
    for (std::size_t i = 0; i < end && n < sizeof line - 3; i++) {
        if (text[i] == '\n' || text[i] == '\r') {
            line[n++] = '\\';
            line[n++] = text[i] == '\n' ? 'n' : 'r';
        } else {
            line[n++] = text[i];
        }
    }
    line[n++] = '\n';
    if (write_all(runtime_state.log_fd, line, n)) return;

    const int error = errno;
    close(runtime_state.log_fd);
    runtime_state.log_fd = -1; // closed first: the report below must not try the file again
    char report[FORMAT_BUFFER_SIZE];
    std::snprintf(report, sizeof report, "Cannot write log file %s: %s\n", runtime_state.log_path,
                  std::strerror(error));
    report_unfinished(report);
}
