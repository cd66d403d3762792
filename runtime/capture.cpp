// capture.cpp: animated capture of what the window shows.
//
// The capture key records the pictures the window shows, with the times they were shown, into
// the first free VORNA-0001.gif .. VORNA-9999.gif, until the key is pressed again or the
// program ends. An unattended run records itself whole with VORNA_GIF=file (an animated GIF)
// and VORNA_FRAMES=folder (frame-00000.png, frame-00001.png, ...): there a frame is the picture
// at each event the program waits for, the number of events returned so far naming it, so
// frame-00003.png is the picture VORNA_PICTURE_AT=3 takes; the last frame is the final picture.
// A replayed event lasts one tick interval in the GIF, as a tick does when it runs live; an
// event a person gave lasts as long as it took.
//
// A frame's time is known only when the next frame comes, so each recording keeps the one frame
// not yet written; every other frame is already in the file (gif_encoder.cpp).
#include <algorithm>
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
    ANIMATION_NUMBER_LAST = 9999, // key names run from VORNA-0001.gif to VORNA-9999.gif
    FRAME_CS_MIN = 2,             // players show shorter frames far too long: such a frame is
                                  // replaced by the next picture instead
    FINAL_FRAME_MS = 1000,        // how long a whole run's final picture stays before the loop
};

} // namespace

struct CaptureRecording {
    GifEncoder *encoder = nullptr;
    std::uint32_t *pending = nullptr; // the frame not yet written (0xFFRRGGBB, width * height)
    bool has_pending = false;
    long long written_cs = 0; // the time in the file where the pending frame begins
    std::chrono::steady_clock::time_point started{};
    char name[PATH_MAX + 40] = ""; // the file's name, as the user gave it or as numbered
    char temp[PATH_MAX + 40] = ""; // VORNA_GIF: the file written, renamed to name at the end
};

namespace {

// The canvas's pixels, or null before start-up.
const std::uint32_t *canvas_pixels(std::ptrdiff_t *stride) {
    settle_canvas();
    return runtime_state.canvas ? platform_surface_pixels(runtime_state.canvas, stride) : nullptr;
}

bool same_as_pending(const CaptureRecording *recording, const std::uint32_t *pixels, std::ptrdiff_t stride) {
    for (int y = 0; y < CANVAS_HEIGHT; y++)
        if (std::memcmp(recording->pending + y * CANVAS_WIDTH, pixels + y * stride, CANVAS_WIDTH * 4) != 0)
            return false;
    return true;
}

// Writes the pending frame, shown until at_ms, and makes it the frame written.
bool write_pending(CaptureRecording *recording, long long at_ms) {
    const long long end_cs = (at_ms + 5) / 10;
    const long long delay = std::max<long long>(end_cs - recording->written_cs, FRAME_CS_MIN);
    recording->written_cs += delay;
    recording->has_pending = false;
    return gif_encoder_put_frame(recording->encoder, recording->pending, CANVAS_WIDTH, int(delay));
}

CaptureRecording *start_recording(int fd, const char *name, const char **reason) {
    auto *recording = new CaptureRecording;
    recording->pending = static_cast<std::uint32_t *>(std::malloc(std::size_t(CANVAS_WIDTH) * CANVAS_HEIGHT * 4));
    if (!recording->pending) {
        close(fd);
        delete recording;
        *reason = std::strerror(ENOMEM);
        return nullptr;
    }
    recording->encoder = gif_encoder_open(fd, CANVAS_WIDTH, CANVAS_HEIGHT, reason);
    if (!recording->encoder) {
        std::free(recording->pending);
        delete recording;
        return nullptr;
    }
    std::snprintf(recording->name, sizeof recording->name, "%s", name);
    recording->started = std::chrono::steady_clock::now();
    return recording;
}

// Writes what is left and closes the file: null, or why the animation is not whole.
const char *end_recording(CaptureRecording *recording, long long at_ms) {
    if (recording->has_pending) write_pending(recording, at_ms);
    const char *reason = gif_encoder_close(recording->encoder);
    std::free(recording->pending);
    return reason;
}

long long elapsed_ms(const CaptureRecording *recording) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 recording->started)
        .count();
}

void stop_key_recording(void) {
    CaptureRecording *recording = runtime_state.capture_key;
    runtime_state.capture_key = nullptr;
    const long long length_ms = elapsed_ms(recording);
    const long frames = gif_encoder_frames(recording->encoder) + (recording->has_pending ? 1 : 0);
    const char *reason = end_recording(recording, length_ms);
    if (reason)
        VORNA_print("Cannot save animation to %s: %s\n", recording->name, reason);
    else
        VORNA_print("Saved animation %s (%ld frames, %.1f s)\n", recording->name, frames, double(length_ms) / 1000.0);
    delete recording;
}

void start_key_recording(void) {
    char name[32];
    for (int number = 1; number <= ANIMATION_NUMBER_LAST; number++) {
        std::snprintf(name, sizeof name, "VORNA-%04d.gif", number);
        // Made here, so no other program's file of that name is ever written over.
        const int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        const char *reason = fd < 0 ? std::strerror(errno) : nullptr;
        CaptureRecording *recording = reason ? nullptr : start_recording(fd, name, &reason);
        if (!recording) {
            if (fd >= 0) unlink(name);
            VORNA_print("Cannot record animation to %s: %s\n", name, reason);
            return;
        }
        runtime_state.capture_key = recording;
        VORNA_print("Recording animation %s\n", name);
        capture_window_shown();
        return;
    }
    VORNA_print("Cannot record animation: VORNA-0001.gif to VORNA-%04d.gif are all taken\n", ANIMATION_NUMBER_LAST);
}

void write_frame_picture(long number) {
    char name[PATH_MAX + 32];
    std::snprintf(name, sizeof name, "%s/frame-%05ld.png", runtime_state.frames_path, number);
    const char *reason = save_picture_file(name);
    if (!reason) return;
    char line[PATH_MAX + FORMAT_BUFFER_SIZE];
    std::snprintf(line, sizeof line, "Cannot save frame to %s: %s\n", name, reason);
    // One report: the frames that follow would fail alike.
    std::free(runtime_state.frames_path);
    runtime_state.frames_path = nullptr;
    unattended_report_unfinished(line);
}

} // namespace

void capture_offer(CaptureRecording *recording, long long at_ms) {
    std::ptrdiff_t stride = 0;
    const std::uint32_t *pixels = canvas_pixels(&stride);
    if (!pixels || platform_surface_width(runtime_state.canvas) != CANVAS_WIDTH ||
        platform_surface_height(runtime_state.canvas) != CANVAS_HEIGHT)
        return;
    if (recording->has_pending) {
        if (same_as_pending(recording, pixels, stride)) return; // still the same picture
        // A picture shown for less than the shortest frame is replaced by this one.
        if ((at_ms + 5) / 10 - recording->written_cs >= FRAME_CS_MIN) write_pending(recording, at_ms);
    }
    for (int y = 0; y < CANVAS_HEIGHT; y++)
        std::memcpy(recording->pending + y * CANVAS_WIDTH, pixels + y * stride, CANVAS_WIDTH * 4);
    recording->has_pending = true;
}

void capture_window_shown(void) {
    if (runtime_state.capture_key) capture_offer(runtime_state.capture_key, elapsed_ms(runtime_state.capture_key));
}

bool capture_recording_by_key(void) { return runtime_state.capture_key != nullptr; }

void capture_toggle_key_recording(void) {
    if (runtime_state.capture_key)
        stop_key_recording();
    else if (runtime_state.canvas)
        start_key_recording();
}

const char *capture_run_begin(void) {
    if (!runtime_state.gif_path) return nullptr;
    char target[PATH_MAX];
    char temp[PATH_MAX + 32];
    const int link_error = resolve_final_link(runtime_state.gif_path, target, sizeof target);
    if (link_error != 0) return std::strerror(link_error);
    const int fd = create_temp_beside(target, temp, sizeof temp);
    if (fd < 0) return std::strerror(errno);
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0) {
        const int error = errno;
        close(fd);
        unlink(temp);
        return std::strerror(error);
    }
    const char *reason = nullptr;
    CaptureRecording *recording = start_recording(fd, target, &reason); // closes fd if it fails
    if (!recording) {
        unlink(temp);
        return reason;
    }
    std::snprintf(recording->temp, sizeof recording->temp, "%s", temp);
    runtime_state.capture_run = recording;
    return nullptr;
}

void capture_run_at_wait(void) {
    if (runtime_state.capture_run) capture_offer(runtime_state.capture_run, runtime_state.capture_clock_ms);
    if (runtime_state.frames_path) write_frame_picture(runtime_state.events_returned);
    runtime_state.capture_wait_started = std::chrono::steady_clock::now();
    runtime_state.capture_wait_replayed = runtime_state.playback || runtime_state.play_one;
}

void capture_run_event_returned(void) {
    if (!runtime_state.capture_run) return;
    if (runtime_state.capture_wait_replayed || runtime_state.event_from_script) {
        runtime_state.capture_clock_ms += runtime_state.tick_interval_ms;
    } else {
        runtime_state.capture_clock_ms += std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - runtime_state.capture_wait_started)
                                              .count();
    }
}

void capture_finish(void) {
    if (runtime_state.capture_key) stop_key_recording();
    // The final picture is already the last frame: unattended_finish offered it as at a wait.
    std::free(runtime_state.frames_path);
    runtime_state.frames_path = nullptr;
    CaptureRecording *recording = runtime_state.capture_run;
    if (!recording) return;
    runtime_state.capture_run = nullptr;
    const char *reason = end_recording(recording, runtime_state.capture_clock_ms + FINAL_FRAME_MS);
    if (!reason && rename(recording->temp, recording->name) != 0) reason = std::strerror(errno);
    if (reason) {
        unlink(recording->temp);
        char line[PATH_MAX + FORMAT_BUFFER_SIZE];
        std::snprintf(line, sizeof line, "Cannot save animation to %s: %s\n", runtime_state.gif_path, reason);
        unattended_report_unfinished(line);
    }
    delete recording;
}
