// unattended.cpp: running a program without anyone at it, for marking, through environment
// variables read at start-up:
//     VORNA_PLAY=script      playback of that script starts at once (unpaced, as Ctrl+P plays);
//                            playback reads that file for the whole run
//     VORNA_PLAY_EXIT=1      when that playback ends by itself, the program gets EVENT_QUIT
//     VORNA_PICTURE=file     the program's end saves the canvas there as PNG
//     VORNA_PICTURE_AT=3,10  also the canvas after the program's answer to its 3rd and 10th
//                            event, as file-3.png and file-10.png; the log (VORNA_LOG) gets a
//                            line "VORNA_PICTURE_AT: event 3" where each is taken
//     VORNA_LOG=file         every printed line and every drawing-log line (logging on or off)
//                            is appended there, one line each, in the order they happen
//     VORNA_LOG_LIMIT=64M    at most that many bytes of lines go to the log; a last line says
//                            it was cut (a program looping on output cannot fill the disk)
//     VORNA_RECORD=file      recording to that file (instead of VORNA.SCR) runs from start-up
//     VORNA_ANSWERS=file     VORNA_gets shows no dialog: each call takes the next line of the
//                            file as its entry
//     VORNA_GIF=file         the whole run as an animated GIF, a frame per event waited for
//     VORNA_FRAMES=folder    the same frames as numbered PNG pictures (capture.cpp)
// An empty variable counts as unset. A value that cannot work, or two variables naming the same
// file, is found before any window opens and ends the process with status 2 and a message on
// stderr, so a marking script never waits on a run that was doomed from the start. What only
// the end can find out (a picture or the log could not be written after all) is reported on the
// console and on stderr, and the process then ends with status 3 when the program itself
// returned 0.
//
// The outputs are finished by VORNA_shutdown, and also when the program ends without it: the
// process entry calls unattended_finish when graphical_main returns, and an exit handler when
// the program calls exit().
//
// The fields this file sets are read where they act: script.cpp reads and quits by play_script
// and play_exit and writes record_path, console.cpp writes every line through
// unattended_log_line, prompt.cpp answers from the answers file (and with an empty entry when
// unattended_without_user), events.cpp counts the events for VORNA_PICTURE_AT.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "runtime_internal.h"

namespace {

enum {
    EXIT_BAD_ENVIRONMENT = 2,    // a variable names something that cannot work
    EXIT_UNFINISHED = 3,         // the picture or the log could not be written
    PICTURE_AT_MAX = 1000000000, // the largest event number VORNA_PICTURE_AT takes
};

constexpr unsigned long long LOG_LIMIT_DEFAULT = 64ull << 20; // 64 MiB

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

// The frames' folder must be a folder that takes new files: one is made and removed again.
void check_frames_folder(const char *path) {
    struct stat status;
    if (stat(path, &status) != 0) refuse("VORNA_FRAMES", path, "cannot save the frames there", std::strerror(errno));
    if (!S_ISDIR(status.st_mode))
        refuse("VORNA_FRAMES", path, "cannot save the frames there", std::strerror(ENOTDIR));
    char inside[PATH_MAX + 2], probe[PATH_MAX + 32];
    std::snprintf(inside, sizeof inside, "%s/", path);
    const int fd = create_temp_beside(inside, probe, sizeof probe);
    if (fd < 0) refuse("VORNA_FRAMES", path, "cannot save the frames there", std::strerror(errno));
    close(fd);
    unlink(probe);
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

// A file the run writes later (a picture, a recording) must be writable then. Links are followed
// to the file they name. A file that is there must be regular; a picture replaces it by a rename,
// so its folder must take a new file, while a recording writes it in place. A name where nothing
// is yet is created and removed again, which also finds a name too long for the file system.
void check_output_file(const char *name, const char *path, const char *what, bool replaced_by_rename) {
    char target[PATH_MAX];
    const int link_error = resolve_final_link(path, target, sizeof target);
    if (link_error != 0) refuse(name, path, what, std::strerror(link_error));
    struct stat status;
    int fd;
    char temp[PATH_MAX + 32];
    if (stat(target, &status) == 0) {
        if (not_regular_reason(&status)) refuse(name, path, what, not_regular_reason(&status));
        fd = replaced_by_rename ? create_temp_beside(target, temp, sizeof temp)
                                : open(target, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) refuse(name, path, what, std::strerror(errno));
        close(fd);
        if (replaced_by_rename) unlink(temp);
        return;
    }
    fd = open(target, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) refuse(name, path, what, std::strerror(errno));
    close(fd);
    unlink(target);
}

// A number of bytes, with K, M or G for KiB, MiB or GiB; above 0.
bool parse_size(const char *text, unsigned long long *size) {
    unsigned long long value = 0;
    const char *at = text;
    for (; *at >= '0' && *at <= '9'; at++) {
        if (value > (~0ull - 9) / 10) return false;
        value = value * 10 + unsigned(*at - '0');
    }
    if (at == text) return false;
    int shift = 0;
    if (*at == 'K' || *at == 'k') shift = 10;
    if (*at == 'M' || *at == 'm') shift = 20;
    if (*at == 'G' || *at == 'g') shift = 30;
    if (shift != 0) at++;
    if (*at != '\0' || value == 0 || value > (~0ull >> shift)) return false;
    *size = value << shift;
    return true;
}

// Event numbers 1..PICTURE_AT_MAX separated by commas, into an ascending list without repeats.
bool parse_event_list(const char *text, int **list, int *count) {
    int *numbers = static_cast<int *>(std::malloc((std::strlen(text) / 2 + 1) * sizeof(int)));
    if (!numbers) return false;
    int n = 0;
    for (const char *at = text;; at++) {
        long value = 0;
        const char *start = at;
        for (; *at >= '0' && *at <= '9' && value <= PICTURE_AT_MAX; at++)
            value = value * 10 + (*at - '0');
        if (at == start || value < 1 || value > PICTURE_AT_MAX || (*at != ',' && *at != '\0')) {
            std::free(numbers);
            return false;
        }
        numbers[n++] = int(value);
        if (*at == '\0') break;
    }
    std::sort(numbers, numbers + n);
    *count = int(std::unique(numbers, numbers + n) - numbers);
    *list = numbers;
    return true;
}

// The picture's name with "-N" before its extension, or after the name when it has none.
void picture_name_at(const char *picture, int event, char *name, std::size_t size) {
    const char *slash = std::strrchr(picture, '/');
    const char *base = slash ? slash + 1 : picture;
    const char *dot = std::strrchr(base, '.');
    if (!dot || dot == base) dot = base + std::strlen(base); // ".png" alone is a name, not an extension
    std::snprintf(name, size, "%.*s-%d%s", int(dot - picture), picture, event, dot);
}

// What a file name stands for, to tell whether two names are one file: the file itself when
// it is there, else the name it will be made under (its folder's real path and its own name,
// after any links to it).
struct FileIdentity {
    bool exists;
    dev_t device;
    ino_t inode;
    char resolved[2 * PATH_MAX + 2];
};

void identify(const char *path, FileIdentity *identity) {
    struct stat status;
    identity->exists = stat(path, &status) == 0;
    if (identity->exists) {
        identity->device = status.st_dev;
        identity->inode = status.st_ino;
        return;
    }
    char target[PATH_MAX];
    if (resolve_final_link(path, target, sizeof target) != 0) std::snprintf(target, sizeof target, "%s", path);
    const char *slash = std::strrchr(target, '/');
    char folder[PATH_MAX];
    std::snprintf(folder, sizeof folder, "%.*s", slash ? int(slash - target) + 1 : 2, slash ? target : "./");
    char real_folder[PATH_MAX];
    std::snprintf(identity->resolved, sizeof identity->resolved, "%s/%s",
                  realpath(folder, real_folder) ? real_folder : folder, slash ? slash + 1 : target);
}

bool same_file(const FileIdentity &a, const FileIdentity &b) {
    if (a.exists != b.exists) return false;
    return a.exists ? a.device == b.device && a.inode == b.inode : std::strcmp(a.resolved, b.resolved) == 0;
}

struct NamedFile {
    const char *variable;
    std::string path;
};

// Refuses the run when two of the named files are one: a picture saved over the played script,
// a log appended to it, a recording emptying the log would each destroy what the run needs.
void refuse_shared_files(const std::vector<NamedFile> &files) {
    for (std::size_t i = 0; i < files.size(); i++) {
        FileIdentity first;
        identify(files[i].path.c_str(), &first);
        for (std::size_t j = i + 1; j < files.size(); j++) {
            FileIdentity second;
            identify(files[j].path.c_str(), &second);
            if (!same_file(first, second)) continue;
            const std::string reason = "it is the same file as " + std::string(files[i].variable) + "=" + files[i].path;
            refuse(files[j].variable, files[j].path.c_str(), "two variables name the same file", reason.c_str());
        }
    }
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

// When the log is the file that standard output (or error) already writes, as with
// VORNA_LOG=/dev/stdout and the output redirected to a file, a descriptor of its own would
// write at its own position, over the program's lines or under them. The log writes through a
// duplicate of that stream's descriptor instead, which shares its position.
int share_standard_stream(int fd) {
    struct stat log_status;
    if (fstat(fd, &log_status) != 0) return fd;
    const struct {
        int fd;
        std::FILE *stream;
    } streams[] = {{STDOUT_FILENO, stdout}, {STDERR_FILENO, stderr}};
    for (const auto &stream : streams) {
        struct stat status;
        if (fstat(stream.fd, &status) != 0 || status.st_dev != log_status.st_dev || status.st_ino != log_status.st_ino)
            continue;
        const int shared = fcntl(stream.fd, F_DUPFD_CLOEXEC, 0);
        if (shared < 0) return fd;
        close(fd);
        runtime_state.log_shares = stream.stream;
        return shared;
    }
    return fd;
}

void save_unattended_picture(const char *path) {
    const char *reason = save_picture_file(path);
    if (!reason) return;
    char line[PATH_MAX + FORMAT_BUFFER_SIZE];
    std::snprintf(line, sizeof line, "Cannot save picture to %s: %s\n", path, reason);
    unattended_report_unfinished(line);
}

// exit(), also the one that follows graphical_main's return: the outputs are finished if the
// program has not shut down; one that cannot be written makes a status of 0 a 3.
void finish_at_exit(int status, void *) {
    // Objects of the toolkit made after the handler was registered are gone by now: nothing is
    // drawn in the windows or their menus any more.
    runtime_state.text_window = nullptr;
    runtime_state.run_menu = nullptr;
    unattended_finish();
    if (status == 0 && runtime_state.outputs_failed) {
        std::fflush(nullptr);
        _exit(EXIT_UNFINISHED);
    }
}

} // namespace

void unattended_read_environment(void) {
    const char *play = variable("VORNA_PLAY");
    const char *play_exit = variable("VORNA_PLAY_EXIT");
    const char *picture = variable("VORNA_PICTURE");
    const char *picture_at = variable("VORNA_PICTURE_AT");
    const char *log = variable("VORNA_LOG");
    const char *log_limit = variable("VORNA_LOG_LIMIT");
    const char *record = variable("VORNA_RECORD");
    const char *answers = variable("VORNA_ANSWERS");
    const char *gif = variable("VORNA_GIF");
    const char *frames = variable("VORNA_FRAMES");

    if (play_exit && std::strcmp(play_exit, "0") != 0 && std::strcmp(play_exit, "1") != 0)
        refuse("VORNA_PLAY_EXIT", play_exit, "not understood", "use 1 to quit when the script ends, or 0");
    unsigned long long limit = LOG_LIMIT_DEFAULT;
    if (log_limit && !parse_size(log_limit, &limit))
        refuse("VORNA_LOG_LIMIT", log_limit, "not understood", "use a number of bytes above 0, such as 1000000 or 64M");
    int *events = nullptr;
    int event_count = 0;
    if (picture_at && !parse_event_list(picture_at, &events, &event_count))
        refuse("VORNA_PICTURE_AT", picture_at, "not understood",
               "use event numbers from 1 up, separated by commas, such as 3,10");
    if (picture_at && !picture)
        refuse("VORNA_PICTURE_AT", picture_at, "no pictures",
               "the pictures are named after VORNA_PICTURE, which is not set");
    if (record && play) refuse("VORNA_RECORD", record, "cannot record", "a run that plays VORNA_PLAY does not record");

    if (play) check_play_script(play);
    if (picture) check_output_file("VORNA_PICTURE", picture, "cannot save the picture there", true);
    char last_picture[PATH_MAX + 16];
    if (event_count > 0) { // the longest of the numbered names
        picture_name_at(picture, events[event_count - 1], last_picture, sizeof last_picture);
        check_output_file("VORNA_PICTURE_AT", last_picture, "cannot save the picture there", true);
    }
    if (record) check_output_file("VORNA_RECORD", record, "cannot write the script", false);
    if (gif) check_output_file("VORNA_GIF", gif, "cannot save the animation there", true);
    if (frames) check_frames_folder(frames);
    std::FILE *answers_file = answers ? open_answers(answers) : nullptr;

    // Every file the run reads or writes, and each numbered picture, must be a file of its own.
    std::vector<NamedFile> files;
    for (const char *name : {"VORNA_PLAY", "VORNA_PICTURE", "VORNA_LOG", "VORNA_RECORD", "VORNA_ANSWERS", "VORNA_GIF"})
        if (variable(name)) files.push_back({name, variable(name)});
    for (int i = 0; i < event_count; i++) {
        char numbered[PATH_MAX + 16];
        picture_name_at(picture, events[i], numbered, sizeof numbered);
        files.push_back({"VORNA_PICTURE_AT", numbered});
    }
    refuse_shared_files(files);

    int log_fd = -1;
    if (log) {
        log_fd = share_standard_stream(open_log(log));
        // A reader of a piped log that goes away must not end the program unseen: the write
        // fails instead, as on a full disk, and the run ends as one whose log was not written.
        struct stat status;
        if (fstat(log_fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)))
            std::signal(SIGPIPE, SIG_IGN);
    }

    // Copies: the program may change its environment later.
    runtime_state.play_script = play ? strdup(play) : nullptr;
    runtime_state.play_exit = play && play_exit && play_exit[0] == '1';
    runtime_state.picture_path = picture ? strdup(picture) : nullptr;
    runtime_state.picture_at = events;
    runtime_state.picture_at_count = event_count;
    runtime_state.log_path = log ? strdup(log) : nullptr;
    runtime_state.log_fd = log_fd;
    runtime_state.log_limit = limit;
    runtime_state.log_written = 0;
    runtime_state.record_path = record ? strdup(record) : nullptr;
    // Also a Ctrl+R recording keeps its pending ticks when graphical_main returns.
    platform_at_program_end(unattended_finish);
    runtime_state.answers_path = answers ? strdup(answers) : nullptr;
    runtime_state.answers = answers_file;
    runtime_state.gif_path = gif ? strdup(gif) : nullptr;
    runtime_state.frames_path = frames ? strdup(frames) : nullptr;
}

void unattended_begin(void) {
    if (runtime_state.play_script && !runtime_state.playback) toggle_playback();
    if (runtime_state.record_path) start_recording_now();
    if (const char *reason = capture_run_begin()) {
        char line[PATH_MAX + FORMAT_BUFFER_SIZE];
        std::snprintf(line, sizeof line, "Cannot save animation to %s: %s\n", runtime_state.gif_path, reason);
        unattended_report_unfinished(line);
    }
    if (runtime_state.picture_path || runtime_state.log_path || runtime_state.record_path || runtime_state.gif_path ||
        runtime_state.frames_path) {
        // Exit handlers run in the reverse order of their registration, the destructors of the
        // toolkit's internal objects among them. Encoding a picture once now makes the objects
        // the encoder needs before the handler is registered, so they outlive it.
        std::size_t size = 0;
        if (runtime_state.picture_path || runtime_state.frames_path)
            std::free(platform_surface_png(runtime_state.canvas, &size));
#ifdef __EMSCRIPTEN__
        // The browser's C library has no on_exit: the handler cannot see the status there, and
        // a run whose outputs failed keeps the status it had.
        std::atexit([] { finish_at_exit(1, nullptr); });
#else
        on_exit(finish_at_exit, nullptr);
#endif
    }
}

void unattended_finish(void) {
    unattended_before_wait(); // also the final picture's frame
    capture_finish();
    finish_recording();
    if (runtime_state.picture_path) {
        save_unattended_picture(runtime_state.picture_path);
        std::free(runtime_state.picture_path);
        runtime_state.picture_path = nullptr; // saved once, at the first end
    }
    if (runtime_state.log_fd >= 0) {
        close(runtime_state.log_fd);
        runtime_state.log_fd = -1;
    }
}

void unattended_before_wait(void) {
    capture_run_at_wait();
    if (runtime_state.picture_at_due == 0 || !runtime_state.picture_path) return;
    char name[PATH_MAX + 16];
    picture_name_at(runtime_state.picture_path, runtime_state.picture_at_due, name, sizeof name);
    const int event = runtime_state.picture_at_due;
    runtime_state.picture_at_due = 0;
    save_unattended_picture(name);
    // The log's mark of where this picture was taken, so that a marker can compare what was
    // drawn up to here; only runs that take pictures after events have it, and only the log
    // (not the console) gets it.
    char marker[64];
    std::snprintf(marker, sizeof marker, "VORNA_PICTURE_AT: event %d", event);
    unattended_log_line(marker);
}

void unattended_event_returned(void) {
    runtime_state.events_returned++;
    capture_run_event_returned();
    const int *begin = runtime_state.picture_at;
    const int *end = begin + runtime_state.picture_at_count;
    if (runtime_state.events_returned <= PICTURE_AT_MAX &&
        std::binary_search(begin, end, int(runtime_state.events_returned)))
        runtime_state.picture_at_due = int(runtime_state.events_returned);
}

const char *unattended_file_owner(const char *path) {
    FileIdentity file, other;
    identify(path, &file);
    if (runtime_state.play_script) {
        identify(runtime_state.play_script, &other);
        if (same_file(file, other)) return "it is the script that VORNA_PLAY plays";
    }
    struct stat status;
    if (runtime_state.log_fd >= 0 && fstat(runtime_state.log_fd, &status) == 0 && file.exists &&
        file.device == status.st_dev && file.inode == status.st_ino)
        return "it is the log that VORNA_LOG writes";
    if (runtime_state.picture_path) {
        identify(runtime_state.picture_path, &other);
        if (same_file(file, other)) return "it is the picture that VORNA_PICTURE saves";
    }
    return nullptr;
}

bool unattended_without_user(void) { return runtime_state.play_exit; }

void unattended_report_unfinished(const char *line) {
    VORNA_print("%s", line);
    std::fputs(line, stderr);
    runtime_state.outputs_failed = true;
    platform_set_failure_status(EXIT_UNFINISHED);
}

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
    // What the program printed on the shared stream before this line comes before it.
    if (runtime_state.log_shares) std::fflush(runtime_state.log_shares);

    bool cut = false;
    if (runtime_state.log_written + n > runtime_state.log_limit) {
        cut = true;
        n = std::size_t(std::snprintf(line, sizeof line, "VORNA_LOG_LIMIT: the log is cut here, at %llu bytes\n",
                                      runtime_state.log_written));
    }
    if (write_all(runtime_state.log_fd, line, n)) {
        runtime_state.log_written += n;
        if (!cut) return;
        close(runtime_state.log_fd);
        runtime_state.log_fd = -1;
        std::fprintf(stderr, "VORNA_LOG=%s: cut at %llu bytes (VORNA_LOG_LIMIT)\n", runtime_state.log_path,
                     runtime_state.log_limit);
        return;
    }

    const int error = errno;
    close(runtime_state.log_fd);
    runtime_state.log_fd = -1; // closed first: the report below must not try the file again
    char report[FORMAT_BUFFER_SIZE];
    std::snprintf(report, sizeof report, "Cannot write log file %s: %s\n", runtime_state.log_path,
                  std::strerror(error));
    unattended_report_unfinished(report);
}
