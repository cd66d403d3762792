// qt_dialog.cpp: the modal prompt dialog: a prompt line, a multi-line text field and "Okay".
//
// The dialog runs its own modal loop on the platform's message queue, so the program's window
// procedures keep running while it is open (repaints, timer messages), exactly as they do in
// the runtime's own wait.
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>

#include <cstring>

#include "platform/platform.h"
#include "platform/platform_qt.h"

namespace {

// Positions and sizes in dialog units: 4 horizontal units are one average character width,
// 8 vertical units one character height.
struct DialogUnits {
    int x, y, width, height;
};
constexpr DialogUnits DU_DIALOG{50, 50, 185, 92}; // client area, from the owner's client area
constexpr DialogUnits DU_EDIT{8, 30, 167, 37};
constexpr DialogUnits DU_OK{67, 74, 50, 14};
constexpr DialogUnits DU_PROMPT{8, 3, 167, 24};

PlatformDialogDriver test_driver = nullptr;
void *test_driver_context = nullptr;

QFont dialog_font() { return QApplication::font(); }

QRect to_pixels(const DialogUnits &du) {
    const QFontMetrics metrics(dialog_font());
    const int cx = metrics.averageCharWidth();
    const int cy = metrics.height();
    // Rounded to the nearest pixel; all values are positive.
    auto horizontal = [cx](int units) { return (units * cx + 2) / 4; };
    auto vertical = [cy](int units) { return (units * cy + 4) / 8; };
    return QRect(horizontal(du.x), vertical(du.y), horizontal(du.width), vertical(du.height));
}

// The text field: Enter presses the dialog's default button, Ctrl+Enter starts a new line,
// Tab moves on to the next item.
class PromptEdit : public QPlainTextEdit {
  public:
    PromptEdit(QWidget *parent, QPushButton *default_button) : QPlainTextEdit(parent), default_button_(default_button) {
        setTabChangesFocus(true);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
    }

  protected:
    void keyPressEvent(QKeyEvent *event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            if (event->modifiers() & Qt::ControlModifier) {
                insertPlainText(QStringLiteral("\n"));
            } else {
                default_button_->click();
            }
            event->accept();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }

  private:
    QPushButton *default_button_;
};

} // namespace

// The dialog itself. It has no cancel: Escape and the close box leave it open.
struct PlatformDialog : public QDialog {
    PlatformDialog(PlatformWindow *owner_window, const char *title, const char *prompt)
        : QDialog(qt_window_widget(owner_window)), owner(owner_window) {
        setFont(dialog_font());
        setWindowTitle(QString::fromLatin1(title));
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
        setWindowModality(Qt::WindowModal);
        setSizeGripEnabled(false);

        // Created in tab order: text field, Okay, prompt line (which takes no focus).
        okay = new QPushButton(QStringLiteral("Okay"));
        edit = new PromptEdit(this, okay);
        okay->setParent(this);
        okay->setDefault(true);
        prompt_line = new QLabel(this);
        prompt_line->setTextFormat(Qt::PlainText);
        prompt_line->setText(QString::fromLatin1(prompt));
        prompt_line->setWordWrap(true);
        prompt_line->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        prompt_line->setFocusPolicy(Qt::NoFocus);
        setTabOrder(edit, okay);

        edit->setGeometry(to_pixels(DU_EDIT));
        okay->setGeometry(to_pixels(DU_OK));
        prompt_line->setGeometry(to_pixels(DU_PROMPT));
        setFixedSize(to_pixels(DU_DIALOG).size());

        QObject::connect(okay, &QPushButton::clicked, [this]() { finished = true; });
    }

    void reject() override {} // Escape: the only way out is Okay

    PlatformWindow *owner;
    PromptEdit *edit = nullptr;
    QPushButton *okay = nullptr;
    QLabel *prompt_line = nullptr;
    bool finished = false;

  protected:
    void closeEvent(QCloseEvent *event) override {
        if (finished) {
            event->accept();
        } else {
            event->ignore();
        }
    }
};

namespace {

// The entry as 8-bit text: line breaks as CR LF, characters beyond Latin-1 as '?'; at most
// limit-1 bytes and a terminator.
void copy_entry(const PlatformDialog *dialog, char *result, int limit) {
    const QList<uint> code_points = dialog->edit->document()->toRawText().toUcs4();
    int n = 0;
    auto put = [&](char byte) {
        if (n < limit - 1) result[n++] = byte;
    };
    for (const uint code : code_points) {
        if (n >= limit - 1) break;
        if (code == '\n' || code == QChar::ParagraphSeparator || code == QChar::LineSeparator) {
            put('\r');
            put('\n');
        } else if (code < 256) {
            put(char(code));
        } else {
            put('?');
        }
    }
    result[n] = '\0';
}

QWidget *focus_target(PlatformDialog *dialog) {
    QWidget *focus = dialog->focusWidget();
    return focus ? focus : dialog;
}

void send_key(PlatformDialog *dialog, int key, Qt::KeyboardModifiers modifiers, const QString &text) {
    QWidget *target = focus_target(dialog);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QWidget *release_target = focus_target(dialog); // the press may have moved the focus
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(release_target, &release);
}

} // namespace

int platform_prompt_dialog(PlatformWindow *owner, const char *title, const char *prompt, char *result, int limit) {
    QWidget *client = qt_window_client(owner);
    const char *refused = nullptr;
    if (!owner || !qt_window_widget(owner) || !client) {
        refused = "it has no window";
    } else if (owner->closed) {
        refused = "its window is closed";
    } else if (!result || limit <= 0) {
        refused = "it has no room for the entry";
    }
    if (refused) {
        qt_warning("the prompt dialog cannot open: %s", refused);
        return -1;
    }

    auto *created = new PlatformDialog(owner, title ? title : "", prompt ? prompt : "");
    QPointer<PlatformDialog> dialog(created);
    const QRect placement = to_pixels(DU_DIALOG);
    dialog->setGeometry(QRect(client->mapToGlobal(placement.topLeft()), placement.size()));
    dialog->show();
    dialog->edit->setFocus(Qt::OtherFocusReason);
    dialog->activateWindow();

    // The modal loop. A quit message is held back until the dialog has ended, then posted
    // again so that the program's next wait sees it. A quit from a signal (a logout, Ctrl+C in
    // the terminal) cannot wait for the user: it ends the dialog as Okay does.
    bool quit_held = false;
    int quit_code = 0;
    int quit_source = 0;
    int pass = 0;
    while (dialog && !dialog->finished) {
        if (test_driver) {
            test_driver(dialog, pass++, test_driver_context);
            if (!dialog || dialog->finished) break;
        }
        PlatformMessage message;
        if (!platform_peek_message(&message, test_driver ? 0 : 1)) continue;
        if (message.kind == MSG_QUIT) {
            if (!quit_held) quit_code = message.a;
            quit_held = true;
            if (message.b == QUIT_FROM_SIGNAL) {
                quit_source = QUIT_FROM_SIGNAL;
                dialog->finished = true;
            }
            continue;
        }
        platform_translate_message(&message);
        platform_dispatch_message(&message);
    }

    int status = -1;
    if (dialog) {
        copy_entry(dialog, result, limit);
        dialog->hide();
        delete dialog.data();
        status = 1;
    } else {
        qt_warning("the prompt dialog closed with its window; the entry is lost");
    }
    if (quit_held) platform_post_message(nullptr, MSG_QUIT, quit_code, quit_source, 0);
    return status;
}

// ---------------------------------------------------------------------------------------------
// Test access
// ---------------------------------------------------------------------------------------------

void platform_prompt_dialog_set_test_driver(PlatformDialogDriver driver, void *context) {
    test_driver = driver;
    test_driver_context = context;
}

void platform_dialog_press_key(PlatformDialog *dialog, int vk_code, int ctrl) {
    const Qt::KeyboardModifiers modifiers = ctrl ? Qt::ControlModifier : Qt::NoModifier;
    QString text;
    const int key = qt_key_of_virtual(vk_code, &text);
    if (ctrl && key != Qt::Key_Return) text.clear();
    send_key(dialog, key, modifiers, text);
}

void platform_dialog_type_text(PlatformDialog *dialog, const char *utf8_text) {
    const QString text = QString::fromUtf8(utf8_text ? utf8_text : "");
    for (const uint code : text.toUcs4()) {
        const QString one = QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
        const int key = code < 0x80 ? int(one.toUpper().at(0).unicode()) : int(Qt::Key_unknown);
        send_key(dialog, key, Qt::NoModifier, one);
    }
}

void platform_dialog_click_okay(PlatformDialog *dialog) { dialog->okay->click(); }

void platform_dialog_request_close(PlatformDialog *dialog) { dialog->close(); }

int platform_dialog_visible(PlatformDialog *dialog) { return dialog->isVisible() ? 1 : 0; }

const char *platform_dialog_title(PlatformDialog *dialog) {
    static QByteArray title;
    title = dialog->windowTitle().toLatin1();
    return title.constData();
}

int platform_dialog_focus_item(PlatformDialog *dialog) {
    const QWidget *focus = dialog->focusWidget();
    if (focus == dialog->edit) return PROMPT_EDIT;
    if (focus == dialog->okay) return PROMPT_OK;
    if (focus == dialog->prompt_line) return PROMPT_TEXT;
    return 0;
}

int platform_dialog_prompt_text(PlatformDialog *dialog, char *text, int size) {
    if (size <= 0) return 0;
    const QByteArray bytes = dialog->prompt_line->text().toLatin1();
    const int n = bytes.size() < size - 1 ? int(bytes.size()) : size - 1;
    std::memcpy(text, bytes.constData(), std::size_t(n));
    text[n] = '\0';
    return n;
}

void platform_dialog_item_geometry(PlatformDialog *dialog, int item, int *x, int *y, int *width, int *height) {
    QRect rect;
    switch (item) {
    case 0: {
        const QPoint origin = qt_window_client(dialog->owner)->mapFromGlobal(dialog->mapToGlobal(QPoint(0, 0)));
        rect = QRect(origin, dialog->size());
        break;
    }
    case PROMPT_EDIT: rect = dialog->edit->geometry(); break;
    case PROMPT_OK: rect = dialog->okay->geometry(); break;
    case PROMPT_TEXT: rect = dialog->prompt_line->geometry(); break;
    default: break;
    }
    if (x) *x = rect.x();
    if (y) *y = rect.y();
    if (width) *width = rect.width();
    if (height) *height = rect.height();
}

void platform_dialog_base_units(int *char_width, int *char_height) {
    const QFontMetrics metrics(dialog_font());
    if (char_width) *char_width = metrics.averageCharWidth();
    if (char_height) *char_height = metrics.height();
}
