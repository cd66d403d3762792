// qt_presenter.cpp: a thread that puts a held picture on the screen when the program does not
// get to it in time.
//
// The windows are drawn on the program's thread, at its polls: a picture held back (the console
// lines of a burst, a replayed script's frames) would stay off the screen for as long as the
// program then computes or sleeps without polling. Qt may paint widgets only on that thread, so
// this thread keeps a connection of its own to the X server and puts the held picture straight
// into the window, by X requests, when its time has come.
//
// Both threads share, under the presenter's mutex, each window's held picture (held, held_due,
// held_picture, the console's rows) and the time it was last drawn on the screen (drawn_at).
// The program's thread holds a picture and moves on; this thread takes it when it is due, draws
// it without the lock, and marks the window drawn. Before the program's thread draws a window
// itself it calls qt_presenter_drawing, which drops what is held and waits for a put in
// progress: the X server then receives the older picture first, and the screen ends on the
// newer one.
//
// Only on the X11 platform, with a 24-bit true-colour window at one device pixel per pixel;
// elsewhere (the offscreen platform) nothing is shown anyway and held pictures wait for a poll.
#include <QFontMetrics>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/platform_qt.h"

// After every toolkit header: Xlib's macros would clash with their names.
#if VORNA_HAVE_X11
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#endif

namespace {

// What the two threads share. Never destroyed: the thread may still wait on it while the
// process ends.
struct Presenter {
    std::mutex mutex;
    std::condition_variable wake;           // a picture is held, or a put has ended
    std::vector<PlatformWindow *> windows;  // every window that ever held a picture
    PlatformWindow *being_put = nullptr;    // the window the thread is drawing, without the lock
    QFont font;                             // the console's font, copied for the thread
};
Presenter &shared() {
    static Presenter *presenter = new Presenter; // made at first use, once the toolkit runs
    return *presenter;
}
enum { PRESENTER_UNTRIED, PRESENTER_RUNNING, PRESENTER_UNAVAILABLE } presenter_status = PRESENTER_UNTRIED;

#if VORNA_HAVE_X11
Display *presenter_display = nullptr; // used by the presenter thread only, once it runs

bool x_error_seen = false;            // set by an X error on this connection

// X errors on this connection (a window already gone at exit) are no reason to end the program.
int note_x_error(Display *, XErrorEvent *) {
    x_error_seen = true;
    return 0;
}

// Images in memory shared with the X server, which reads the pixels from there instead of from
// the connection: one per picture size (the graphics window's, the console's). None where the
// server cannot share memory with this process (a remote display, say): then the pixels go
// through the connection.
std::vector<XImage *> shared_images;
bool sharing_failed = false;

XImage *shared_image(Visual *visual, int depth, int width, int height) {
    for (XImage *image : shared_images)
        if (image->width == width && image->height == height && image->depth == depth) return image;
    if (sharing_failed || shared_images.size() >= 4 || !XShmQueryExtension(presenter_display) ||
        ImageByteOrder(presenter_display) != LSBFirst) {
        sharing_failed = true;
        return nullptr;
    }
    auto *segment = new XShmSegmentInfo{};
    XImage *image = XShmCreateImage(presenter_display, visual, unsigned(depth), ZPixmap, nullptr, segment,
                                    unsigned(width), unsigned(height));
    segment->shmid = image ? shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(height), IPC_CREAT | 0600) : -1;
    void *address = segment->shmid >= 0 ? shmat(segment->shmid, nullptr, 0) : reinterpret_cast<void *>(-1);
    bool attached = false;
    if (address != reinterpret_cast<void *>(-1)) {
        segment->shmaddr = image->data = static_cast<char *>(address);
        segment->readOnly = False;
        x_error_seen = false;
        attached = XShmAttach(presenter_display, segment) && (XSync(presenter_display, False), !x_error_seen);
    }
    if (segment->shmid >= 0) shmctl(segment->shmid, IPC_RMID, nullptr); // gone once both let go
    if (attached && image->bits_per_pixel == 32) {
        shared_images.push_back(image);
        return image;
    }
    if (attached) XShmDetach(presenter_display, segment);
    if (address != reinterpret_cast<void *>(-1)) shmdt(address);
    if (image) {
        image->data = nullptr;
        XDestroyImage(image);
    }
    delete segment;
    sharing_failed = true;
    return nullptr;
}

// Puts the picture, cut to the size, into the X window at the offset, and waits until the X
// server has drawn it.
void put_picture(const QImage &picture, unsigned long xid, QPoint offset, QSize size) {
    XWindowAttributes attributes;
    if (picture.isNull() || !XGetWindowAttributes(presenter_display, xid, &attributes)) return;
    const Visual *visual = attributes.visual;
    if ((attributes.depth != 24 && attributes.depth != 32) || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF)
        return;
    const QImage pixels = picture.format() == QImage::Format_RGB32 ? picture
                                                                    : picture.convertToFormat(QImage::Format_RGB32);
    const int width = std::min(pixels.width(), size.width()), height = std::min(pixels.height(), size.height());
    if (width <= 0 || height <= 0) return;
    GC gc = XCreateGC(presenter_display, xid, 0, nullptr);
    if (XImage *shared = shared_image(attributes.visual, attributes.depth, width, height)) {
        for (int y = 0; y < height; y++)
            std::memcpy(shared->data + std::ptrdiff_t(y) * shared->bytes_per_line, pixels.constScanLine(y),
                        size_t(width) * 4);
        XShmPutImage(presenter_display, xid, gc, shared, 0, 0, offset.x(), offset.y(), unsigned(width),
                     unsigned(height), False);
    } else if (XImage *image = XCreateImage(presenter_display, attributes.visual, unsigned(attributes.depth), ZPixmap,
                                            0, const_cast<char *>(reinterpret_cast<const char *>(pixels.constBits())),
                                            unsigned(pixels.width()), unsigned(pixels.height()), 32,
                                            int(pixels.bytesPerLine()))) {
        image->byte_order = LSBFirst; // the image's pixels are 0xffRRGGBB words in memory
        if (image->bits_per_pixel == 32)
            XPutImage(presenter_display, xid, gc, image, 0, 0, offset.x(), offset.y(), unsigned(width),
                      unsigned(height));
        image->data = nullptr; // the pixels belong to the QImage
        XDestroyImage(image);
    }
    XFreeGC(presenter_display, gc);
    XSync(presenter_display, False); // drawn, and the shared image free for the next picture
}

#endif

// What a window's picture is made of, taken under the lock.
struct HeldPicture {
    PlatformWindow *window = nullptr;
    QImage picture;                // graphics window
    std::deque<std::string> rows;  // console
    QSize size;
    unsigned long xid = 0;
    QPoint offset;
};

void presenter_loop() {
    std::unique_lock<std::mutex> lock(shared().mutex);
    for (;;) {
        PlatformWindow *next = nullptr;
        for (PlatformWindow *window : shared().windows)
            if (window->held && (!next || window->held_due < next->held_due)) next = window;
        if (!next) {
            shared().wake.wait(lock);
            continue;
        }
        if (std::chrono::steady_clock::now() < next->held_due) {
            shared().wake.wait_until(lock, next->held_due);
            continue;
        }
        HeldPicture held;
        held.window = next;
        held.xid = next->held_xid;
        held.offset = next->held_offset;
        held.size = next->held_size;
        if (next->kind == WINDOW_KIND_GRAPHICS) {
            held.picture = next->held_picture;
            next->held_picture = QImage();
        } else {
            held.rows = next->rows;
        }
        next->held = false;
        shared().being_put = next;
        lock.unlock();

        if (next->kind == WINDOW_KIND_CONSOLE) {
            held.picture = QImage(held.size, QImage::Format_RGB32);
            QPainter painter(&held.picture);
            qt_console_paint_rows(painter, held.picture.rect(), shared().font, held.rows);
        }
#if VORNA_HAVE_X11
        put_picture(held.picture, held.xid, held.offset, held.size);
#endif

        lock.lock();
        next->drawn_at = std::chrono::steady_clock::now();
        shared().being_put = nullptr;
        shared().wake.notify_all();
    }
}

// Opens the presenter's own X connection and starts its thread, once; false where it cannot.
bool presenter_running(PlatformWindow *window) {
    if (presenter_status == PRESENTER_UNTRIED) {
        presenter_status = PRESENTER_UNAVAILABLE;
#if VORNA_HAVE_X11
        auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        Display *qt_display = x11 ? x11->display() : nullptr;
        if (!qt_display) return false;
        presenter_display = XOpenDisplay(DisplayString(qt_display));
        if (!presenter_display) return false;
        XSetErrorHandler(note_x_error);
        shared().font = qt_console_font();
        std::thread(presenter_loop).detach(); // runs until the process ends
        presenter_status = PRESENTER_RUNNING;
#endif
    }
    return presenter_status == PRESENTER_RUNNING && window->top->devicePixelRatioF() == 1.0;
}

} // namespace

bool qt_presenter_hold(PlatformWindow *window, const QImage *picture, std::chrono::steady_clock::time_point due) {
    if (!presenter_running(window) || window->closed) return false;
    const unsigned long xid = window->top->winId();
    const QPoint offset = window->client->mapTo(window->top, QPoint(0, 0));
    const QSize size = window->client->size();
    std::lock_guard<std::mutex> lock(shared().mutex);
    if (std::find(shared().windows.begin(), shared().windows.end(), window) == shared().windows.end())
        shared().windows.push_back(window);
    if (picture) window->held_picture = *picture;
    window->held_xid = xid;
    window->held_offset = offset;
    window->held_size = size;
    if (!window->held || due < window->held_due) {
        window->held = true;
        window->held_due = due;
        shared().wake.notify_all();
    }
    return true;
}

void qt_presenter_drawing(PlatformWindow *window) {
    std::unique_lock<std::mutex> lock(shared().mutex);
    shared().wake.wait(lock, [window] { return shared().being_put != window; });
    window->held = false;
    window->held_picture = QImage();
    window->drawn_at = std::chrono::steady_clock::now();
}

std::mutex &qt_presenter_lock(void) { return shared().mutex; }
