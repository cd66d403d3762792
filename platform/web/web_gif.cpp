// web_gif.cpp: the animated GIF files of the browser build, which has no giflib. The page's
// writer (gif_frames.js) turns each frame into the file's bytes; they are written here to the
// program's file as they come, so the file is the same whatever reads it (the page downloads
// the capture key's files when they are closed).
#include <emscripten.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "runtime/runtime_internal.h"

namespace {

// Each call answers 0 when the page's writer failed (out of memory, most likely).
EM_JS(int, page_gif_open, (int width, int height), {
    try { return VornaGif.open(width, height); } catch (e) { return 0; }
});
EM_JS(int, page_gif_frame, (int id, const std::uint32_t *pixels, int stride, int delay_cs), {
    try { VornaGif.frame(id, pixels, stride, delay_cs); return 1; } catch (e) { return 0; }
});
EM_JS(void, page_gif_end, (int id), { VornaGif.end(id); });
EM_JS(int, page_gif_pending, (int id), { return VornaGif.pending(id); });
EM_JS(void, page_gif_take, (int id, unsigned char *to), { VornaGif.take(id, to); });
EM_JS(void, page_gif_forget, (int id), { VornaGif.forget(id); });

} // namespace

struct GifEncoder {
    int fd = -1;
    int id = 0;                      // the page's writer
    long frames = 0;
    const char *error = nullptr;     // why the file is not whole, from the first failure on
    std::vector<unsigned char> bytes; // the writer's bytes on their way to the file
};

namespace {

// Moves what the writer has made into the file.
bool flush(GifEncoder *encoder) {
    encoder->bytes.resize(std::size_t(page_gif_pending(encoder->id)));
    if (encoder->bytes.empty()) return true;
    page_gif_take(encoder->id, encoder->bytes.data());
    for (std::size_t done = 0; done < encoder->bytes.size();) {
        const ssize_t n = write(encoder->fd, encoder->bytes.data() + done, encoder->bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            encoder->error = std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

} // namespace

GifEncoder *gif_encoder_open(int fd, int width, int height, const char **reason) {
    auto *encoder = new GifEncoder;
    encoder->fd = fd;
    encoder->id = page_gif_open(width, height);
    if (encoder->id == 0) encoder->error = std::strerror(ENOMEM);
    if (encoder->error || !flush(encoder)) {
        *reason = encoder->error;
        gif_encoder_close(encoder);
        return nullptr;
    }
    return encoder;
}

bool gif_encoder_put_frame(GifEncoder *encoder, const std::uint32_t *pixels, std::ptrdiff_t stride, int delay_cs) {
    if (encoder->error) return false;
    if (!page_gif_frame(encoder->id, pixels, int(stride), delay_cs)) {
        encoder->error = std::strerror(ENOMEM);
        return false;
    }
    if (!flush(encoder)) return false;
    encoder->frames++;
    return true;
}

long gif_encoder_frames(const GifEncoder *encoder) { return encoder->frames; }

const char *gif_encoder_close(GifEncoder *encoder) {
    if (encoder->id != 0) {
        if (!encoder->error) {
            page_gif_end(encoder->id);
            flush(encoder);
        }
        page_gif_forget(encoder->id);
    }
    if (close(encoder->fd) != 0 && !encoder->error) encoder->error = std::strerror(errno);
    const char *error = encoder->error;
    delete encoder;
    return error;
}
