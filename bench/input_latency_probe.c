/* input_latency_probe: real input to the changed pixel on the screen.
 *
 * Sends a key press (the space bar) or a left-button press through the X server's test
 * extension, as a user's keyboard and mouse would reach it, and reads the screen pixel at
 * (x, y) back until it changes: the time between is one latency. Repeats `count` times for
 * each kind of input and prints the median, the 90th percentile and the slowest.
 *
 * The test extension's library is loaded when the probe runs, so that building the benchmarks
 * needs only the X11 headers. The screen is read every 0.2 ms, sleeping in between.
 *
 * Usage: input_latency_probe <x> <y> [count]   (exit status 77: no test extension)
 */
#define _POSIX_C_SOURCE 200809L
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

typedef int (*FakeKeyFn)(Display *, unsigned int, Bool, unsigned long);
typedef int (*FakeButtonFn)(Display *, unsigned int, Bool, unsigned long);
typedef int (*FakeMotionFn)(Display *, int, int, int, unsigned long);

static FakeKeyFn fake_key;
static FakeButtonFn fake_button;
static FakeMotionFn fake_motion;

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

static void sleep_ms(double ms) {
    struct timespec t;
    t.tv_sec = (time_t)(ms / 1000.0);
    t.tv_nsec = (long)((ms - (double)t.tv_sec * 1000.0) * 1e6);
    nanosleep(&t, NULL);
}

static unsigned long screen_pixel(Display *display, int x, int y) {
    XImage *image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    unsigned long pixel = 0;
    if (image) {
        pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
    }
    return pixel;
}

static int compare(const void *a, const void *b) {
    const double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : x > y;
}

/* One kind of input `count` times; prints its figures, returns the median (-1: none seen). */
static double measure(Display *display, const char *name, int is_key, unsigned int code, int x, int y, int count) {
    double *latencies = calloc((size_t)count, sizeof *latencies);
    int seen = 0, i;
    for (i = 0; i < count; i++) {
        const unsigned long before = screen_pixel(display, x, y);
        const double start = now_ms();
        double waited = 0.0;
        if (is_key) fake_key(display, code, True, 0);
        else fake_button(display, code, True, 0);
        XFlush(display);
        while (screen_pixel(display, x, y) == before && (waited = now_ms() - start) < 1000.0) sleep_ms(0.2);
        if (waited < 1000.0) latencies[seen++] = now_ms() - start;
        if (is_key) fake_key(display, code, False, 0);
        else fake_button(display, code, False, 0);
        XFlush(display);
        sleep_ms(40.0 + (double)(i % 7) * 3.0); /* apart, and not in step with any timer */
    }
    if (seen == 0) {
        printf("%s to pixel: no change seen on the screen\n", name);
        free(latencies);
        return -1.0;
    }
    qsort(latencies, (size_t)seen, sizeof *latencies, compare);
    const double median = latencies[seen / 2];
    printf("%s to pixel: median %.1f ms, 90th percentile %.1f ms, slowest %.1f ms (%d of %d seen; target: median <= 16 ms)\n",
           name, median, latencies[(seen * 9) / 10 < seen ? (seen * 9) / 10 : seen - 1], latencies[seen - 1], seen,
           count);
    free(latencies);
    return median;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: input_latency_probe <x> <y> [count]\n");
        return 2;
    }
    const int x = atoi(argv[1]), y = atoi(argv[2]), count = argc > 3 ? atoi(argv[3]) : 50;
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "input_latency_probe: cannot open the display\n");
        return 2;
    }
    void *xtst = dlopen("libXtst.so.6", RTLD_NOW);
    if (!xtst) {
        fprintf(stderr, "input_latency_probe: no X test extension library (libXtst.so.6)\n");
        return 77;
    }
    *(void **)&fake_key = dlsym(xtst, "XTestFakeKeyEvent");
    *(void **)&fake_button = dlsym(xtst, "XTestFakeButtonEvent");
    *(void **)&fake_motion = dlsym(xtst, "XTestFakeMotionEvent");
    if (!fake_key || !fake_button || !fake_motion) return 77;

    /* The pointer over the watched pixel: the window then has the keyboard, and clicks land there. */
    fake_motion(display, -1, x, y, 0);
    XSync(display, False);
    sleep_ms(300.0);
    const double key = measure(display, "key", 1, XKeysymToKeycode(display, XK_space), x, y, count);
    const double click = measure(display, "click", 0, 1, x, y, count);
    XCloseDisplay(display);
    return key < 0.0 || click < 0.0 ? 1 : 0;
}
