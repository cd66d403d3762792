// platform_qt.h: what the Qt layer's own source files share. Never included outside platform/.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <chrono>
#include <deque>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "platform/platform_test.h"

class QMenuBar;
class QTimer;

enum { WINDOW_KIND_GRAPHICS = 1, WINDOW_KIND_CONSOLE = 2 };

struct PlatformSurface {
    QImage image;
    QPainter painter;                 // kept open between primitives: a long-lived drawing context
    PlatformWindow *window = nullptr; // set for a window's own picture: copies into it repaint it
};

struct PlatformWindow {
    int kind = 0;
    std::string title;
    PlatformWindowProc proc = nullptr;
    QWidget *top = nullptr;       // the top-level widget
    QWidget *client = nullptr;    // the drawing area (graphics) or the text area (console)
    QMenuBar *menu_bar = nullptr; // graphics window only
    PlatformSurface surface;      // graphics window only: what the drawing area shows
    bool closed = false;          // the user closed it; it never comes back
    bool own_update = false;      // the next paint was asked for by us, not by an exposure
    bool settled = false;         // graphics window: its drawing area is fixed for good
    int outer_width = 0;          // the size asked for, frame included: the window keeps it
    int outer_height = 0;
    int frame_extra_width = 0;    // frame around the window, when a window manager tells it
    int frame_extra_height = 0;
    int last_client_width = -1;
    int last_client_height = -1;
    // Console picture: the rows of text from the top down, each the bytes of one line. Changed
    // by the program's thread under the presenter's lock, which the presenter reads them under.
    std::deque<std::string> rows;
    QTimer *console_timer = nullptr; // draws the rest of a burst of lines where no presenter runs
    std::string shown_bottom_row; // the bottom row's text as last drawn on the screen, UTF-8
    // Shared with the presenter thread, under its lock (qt_presenter.cpp).
    std::chrono::steady_clock::time_point drawn_at{}; // last drawn on the screen, by either thread
    bool held = false;                                // a picture waits for the presenter ...
    std::chrono::steady_clock::time_point held_due{}; // ... until then
    QImage held_picture;                              // graphics window: the picture held
    unsigned long held_xid = 0;                       // where to put it: the X window, the
    QPoint held_offset;                               // drawing area's place in it, its size
    QSize held_size;
    // Graphics window: the grid overlay (platform_show_grid), drawn by the paint only.
    bool grid_on = false;
    QPoint grid_origin;
    // Graphics window: the pointer label (platform_show_label), drawn by the paint only.
    bool label_on = false;
    QPoint label_at;
    QString label_text;
    QString badge_text; // graphics window: platform_show_badge's text, empty when none
    // Graphics window: the inspector's outline (platform_show_outline), drawn by the paint only.
    int outline_shape = 0; // OUTLINE_NONE when none
    QPolygon outline_points;
};

// The graphics window's menu bar, for the menu code.
QMenuBar *qt_window_menu_bar(PlatformWindow *window);

// Re-fits the graphics window after its menu bar changed, keeping the outer size.
void qt_window_menu_bar_changed(PlatformWindow *window);

// The top-level widget and the client (drawing) widget of a window.
QWidget *qt_window_widget(PlatformWindow *window);
QWidget *qt_window_client(PlatformWindow *window);

// The long-lived painter of a surface, begun when it is not (which detaches the image from
// any copy sharing it).
QPainter &qt_surface_painter(PlatformSurface *surface);
// Ends the long-lived painter of a surface (before the image is copied or shared).
void qt_surface_end_painting(PlatformSurface *surface);

// Starts a detached helper thread that sleeps on a pipe of its own, fds[0] to read and fds[1]
// to write (both non-blocking, closed on exec), with every signal blocked in it, so that the
// program's signal handlers run on the program's own threads (qt_signals.cpp). False, with errno
// set and fds -1, when the pipe or the thread cannot be had.
bool qt_start_helper_thread(void *(*body)(void *), int fds[2]);

// Writes "vorna: ", the formatted text and a line break to stderr: for what the toolkit or
// the system refuses where the program can only go on without it.
void qt_warning(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Key codes both ways (qt_keys.cpp): the virtual-key code of a toolkit key, 0 for a key the
// messages do not name; and the toolkit key of a virtual-key code (Qt::Key_unknown for none)
// with the text it types unshifted, empty for none.
int qt_virtual_key(int qt_key);
int qt_key_of_virtual(int vk_code, QString *typed);

// Input (qt_input.cpp). The runtime's key value of a toolkit key (platform.h tells which).
// qt_post_key posts a key message with the key value and modifiers; qt_post_pointer posts the
// message for a press, release, move or wheel event in the graphics window's drawing area and
// returns true, or returns false for any other event.
class QKeyEvent;
int qt_key_value(int qt_key, Qt::KeyboardModifiers modifiers, const QString &text);
void qt_post_key(PlatformWindow *window, const QKeyEvent *event, int kind, int a, int b, int c);
bool qt_post_pointer(PlatformWindow *window, QEvent *event);
// The object name of the timer with the identifier, under its window's top-level widget.
inline QString qt_timer_name(int timer_id) { return QStringLiteral("vorna-timer-%1").arg(timer_id); }

// The fixed-pitch font of the console and its rows' painter (qt_console.cpp).
void qt_console_paint(PlatformWindow *window, QPainter &painter);

// qt_overlay.cpp: the grid and axes over the graphics window's picture (platform_show_grid).
void qt_paint_grid(QPainter &painter, QPoint origin, QSize area);
void qt_paint_label(QPainter &painter, QPoint at, const QString &text, QSize area);
void qt_paint_badge(QPainter &painter, const QString &text, QSize area);
void qt_paint_outline(QPainter &painter, int shape, const QPolygon &points);
void qt_console_fit_rows(PlatformWindow *window);
const QFont &qt_console_font(void);
// Draws the rows standing on the bottom edge of the area; safe on any thread.
void qt_console_paint_rows(QPainter &painter, const QRect &area, const QFont &font, const std::deque<std::string> &rows);

// The presenter thread (qt_presenter.cpp). qt_presenter_hold: the window's picture (the graphics
// window's given one, or the console's rows) is to be on the screen by `due` even if the
// program does not poll; false where no presenter runs. qt_presenter_drawing: the program's
// thread is about to draw the window itself. The lock guards the console's rows and the
// fields marked shared.
bool qt_presenter_hold(PlatformWindow *window, const QImage *picture, std::chrono::steady_clock::time_point due);
void qt_presenter_drawing(PlatformWindow *window);
std::mutex &qt_presenter_lock(void);
