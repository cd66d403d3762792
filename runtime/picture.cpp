// picture.cpp: saving the canvas, all 601 x 540 pixels of it, as a PNG file: VORNA_save_picture,
// the F12 key's numbered pictures, and (through unattended.cpp) the picture of an unattended run.
//
// A named picture is written to a temporary file beside its target and renamed over it once
// complete, so a failure (a full disk, say) never leaves a cut-off file nor destroys an earlier
// picture of that name. F12 saves the same way under the first name that is not yet taken, so a
// kill while it saves never leaves a cut-off picture under that name.
#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime_internal.h"

namespace {

enum {
    PICTURE_NUMBER_LAST = 9999, // F12 names run from VORNA-0001.png to VORNA-9999.png
    LINKS_FOLLOWED_MAX = 40,    // as many links in a row as the system itself follows
};

// Writes the canvas as PNG into the open file; null, or the reason it failed.
const char *write_canvas_png(int fd) {
    std::size_t size = 0;
    settle_canvas();
    unsigned char *png = platform_surface_png(runtime_state.canvas, &size);
    if (!png) return "the picture cannot be encoded";
    const char *reason = write_all(fd, reinterpret_cast<const char *>(png), size) ? nullptr : std::strerror(errno);
    std::free(png);
    return reason;
}

// Closes the file and gives the first reason of failure, if any.
const char *close_file(int fd, const char *reason) {
    const int closed = close(fd);
    if (!reason && closed != 0) reason = std::strerror(errno);
    return reason;
}

} // namespace

bool write_all(int fd, const char *bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes += n;
        size -= std::size_t(n);
    }
    return true;
}

const char *not_regular_reason(const struct stat *status) {
    if (S_ISREG(status->st_mode)) return nullptr;
    return S_ISDIR(status->st_mode) ? std::strerror(EISDIR) : "not a regular file";
}

int create_temp_beside(const char *path, char *temp, std::size_t temp_size) {
    const char *slash = std::strrchr(path, '/');
    const int folder_length = slash ? int(slash - path) + 1 : 0; // the folder with its slash
    if (std::snprintf(temp, temp_size, "%.*s.vorna-picture-XXXXXX", folder_length, path) >= int(temp_size)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    return mkostemp(temp, O_CLOEXEC);
}

int resolve_final_link(const char *path, char *target, std::size_t target_size) {
    if (std::snprintf(target, target_size, "%s", path) >= int(target_size)) return ENAMETOOLONG;
    for (int links = 0; links <= LINKS_FOLLOWED_MAX; links++) {
        struct stat status;
        if (lstat(target, &status) != 0) return errno == ENOENT ? 0 : errno; // a new file is made there
        if (!S_ISLNK(status.st_mode)) return 0;
        char named[PATH_MAX];
        const ssize_t length = readlink(target, named, sizeof named - 1);
        if (length < 0) return errno;
        named[length] = '\0';
        // A relative link counts from the folder the link is in.
        const char *slash = std::strrchr(target, '/');
        const int folder_length = named[0] != '/' && slash ? int(slash - target) + 1 : 0;
        char next[PATH_MAX];
        if (std::snprintf(next, sizeof next, "%.*s%s", folder_length, target, named) >= int(sizeof next) ||
            std::strlen(next) >= target_size)
            return ENAMETOOLONG;
        std::strcpy(target, next);
    }
    return ELOOP;
}

const char *save_picture_file(const char *path) {
    // A symbolic link keeps pointing at the picture: the file it names is the one written, also
    // when that file does not exist yet. Links in the folders on the way are followed by the
    // file system itself.
    char target[PATH_MAX];
    const int link_error = resolve_final_link(path, target, sizeof target);
    if (link_error != 0) return std::strerror(link_error);
    struct stat status;
    if (stat(target, &status) == 0 && not_regular_reason(&status)) return not_regular_reason(&status);

    char temp[PATH_MAX + 32];
    const int fd = create_temp_beside(target, temp, sizeof temp);
    if (fd < 0) return std::strerror(errno);
    // Permissions as for any new file (the temporary file starts readable by its owner only).
    const mode_t mask = umask(0);
    umask(mask);
    const char *reason = fchmod(fd, 0666 & ~mask) == 0 ? nullptr : std::strerror(errno);
    if (!reason) reason = write_canvas_png(fd);
    reason = close_file(fd, reason);
    if (!reason && rename(temp, target) != 0) reason = std::strerror(errno);
    if (reason) unlink(temp);
    return reason;
}

void save_numbered_picture(void) {
    if (!runtime_state.canvas) return;
    char name[32];
    for (int number = 1; number <= PICTURE_NUMBER_LAST; number++) {
        std::snprintf(name, sizeof name, "VORNA-%04d.png", number);
        struct stat status;
        if (lstat(name, &status) == 0) continue; // taken, by a dangling link too
        const char *reason = errno == ENOENT ? nullptr : std::strerror(errno);
        if (!reason) {
            // A signal that ends the process waits until the picture is in place, so that no
            // temporary file stays behind; SIGKILL cannot wait, and leaves at most that file.
            sigset_t ending, before;
            sigemptyset(&ending);
            for (int signal_number : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) sigaddset(&ending, signal_number);
            pthread_sigmask(SIG_BLOCK, &ending, &before);
            reason = save_picture_file(name);
            pthread_sigmask(SIG_SETMASK, &before, nullptr);
        }
        if (reason) {
            VORNA_print("Cannot save picture to %s: %s\n", name, reason);
        } else {
            VORNA_print("Saved picture %s\n", name);
        }
        return;
    }
    VORNA_print("Cannot save picture: VORNA-0001.png to VORNA-%04d.png are all taken\n", PICTURE_NUMBER_LAST);
}

int VORNA_save_picture(const char *file_name) {
    if (refuse_other_thread("VORNA_save_picture")) return 0;
    if (!runtime_state.canvas) return 0; // before start-up there is no picture
    if (!file_name || file_name[0] == '\0') {
        VORNA_print("VORNA_save_picture needs a file name; no picture saved\n");
        return 0;
    }
    const char *reason = save_picture_file(file_name);
    if (reason) {
        VORNA_print("Cannot save picture to %s: %s\n", file_name, reason);
        return 0;
    }
    return 1;
}
