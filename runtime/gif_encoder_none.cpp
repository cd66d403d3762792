// gif_encoder_none.cpp: the encoder of a build without giflib (the browser build). Every
// recording is refused with the reason, as a file that cannot be opened is: the program goes on.
#include <unistd.h>

#include "runtime_internal.h"

struct GifEncoder {};

GifEncoder *gif_encoder_open(int fd, int, int, const char **reason) {
    close(fd);
    if (reason) *reason = "animated GIFs are not written by this build";
    return nullptr;
}

bool gif_encoder_put_frame(GifEncoder *, const std::uint32_t *, std::ptrdiff_t, int) { return false; }

long gif_encoder_frames(const GifEncoder *) { return 0; }

const char *gif_encoder_close(GifEncoder *) { return "animated GIFs are not written by this build"; }
