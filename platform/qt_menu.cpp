// qt_menu.cpp: popup menus on the graphics window's menu bar.
//
// A PlatformMenu is a QMenu whose actions carry the command identifiers. The text after a tab
// is drawn by QMenu as the right-aligned shortcut column; it is never made a QAction shortcut,
// so the keys stay with the window's own key handling. A check mark is shown only while an
// item is checked (the action is checkable only then), as on desktops where unchecked items
// show nothing. Choosing an item posts MSG_COMMAND to the window the menu is attached to.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <QVariant>

#include <cstring>

#include "platform/platform.h"
#include "platform/platform_qt.h"

struct PlatformMenu {
    QMenu *menu = nullptr;
    PlatformWindow *window = nullptr; // the window it is attached to; null until then
};

namespace {

const char *const PROPERTY_WANTED_CHECK = "vornaChecked";
const int ID_SEPARATOR = -1;

QAction *action_at(PlatformMenu *menu, int index) {
    if (menu == nullptr || menu->menu == nullptr) return nullptr;
    const QList<QAction *> actions = menu->menu->actions();
    if (index < 0 || index >= actions.size()) return nullptr;
    return actions.at(index);
}

void set_check_mark(QAction *action, bool checked) {
    action->setProperty(PROPERTY_WANTED_CHECK, checked);
    if (checked) {
        action->setCheckable(true);
        action->setChecked(true);
    } else {
        action->setChecked(false);
        action->setCheckable(false);
    }
}

} // namespace

PlatformMenu *platform_create_popup_menu(void) {
    // Parentless: the menu lives for the whole run, like the window that shows it.
    PlatformMenu *menu = new PlatformMenu;
    menu->menu = new QMenu;
    return menu;
}

void platform_menu_append_item(PlatformMenu *menu, int id, const char *text, int flags) {
    if (menu == nullptr || menu->menu == nullptr) return;
    QAction *action = menu->menu->addAction(QString::fromLatin1(text != nullptr ? text : ""));
    action->setData(id);
    action->setEnabled((flags & MENU_ITEM_GRAYED) == 0);
    set_check_mark(action, (flags & MENU_ITEM_CHECKED) != 0);
    QObject::connect(action, &QAction::triggered, action, [menu, action, id]() {
        // Qt flips a checkable action before it reports the choice; the mark only follows the
        // program's own state, which the command will set.
        action->setChecked(action->property(PROPERTY_WANTED_CHECK).toBool());
        if (menu->window != nullptr) platform_post_message(menu->window, MSG_COMMAND, id, 0, 0);
    });
}

void platform_menu_append_separator(PlatformMenu *menu) {
    if (menu == nullptr || menu->menu == nullptr) return;
    menu->menu->addSeparator();
}

void platform_attach_menu(PlatformWindow *window, PlatformMenu *menu, const char *title) {
    if (window == nullptr || menu == nullptr || menu->menu == nullptr) return;
    QMenuBar *bar = qt_window_menu_bar(window);
    if (bar == nullptr) return;
    bar->clear();
    menu->menu->setTitle(QString::fromLatin1(title != nullptr ? title : ""));
    bar->addMenu(menu->menu);
    menu->window = window;
    qt_window_menu_bar_changed(window);
}

void platform_menu_check(PlatformMenu *menu, int id, int checked) {
    if (menu == nullptr || menu->menu == nullptr) return;
    for (QAction *action : menu->menu->actions()) {
        if (!action->isSeparator() && action->data().toInt() == id) set_check_mark(action, checked != 0);
    }
}

int platform_menu_item_count(PlatformMenu *menu) {
    if (menu == nullptr || menu->menu == nullptr) return 0;
    return static_cast<int>(menu->menu->actions().size());
}

int platform_menu_item_info(PlatformMenu *menu, int index, int *id, char *text, int text_size, int *flags) {
    QAction *action = action_at(menu, index);
    if (action == nullptr) return 0;
    if (id != nullptr) *id = action->isSeparator() ? ID_SEPARATOR : action->data().toInt();
    if (text != nullptr && text_size > 0) {
        const QByteArray bytes = action->isSeparator() ? QByteArray() : action->text().toLatin1();
        const int n = static_cast<int>(bytes.size()) < text_size - 1 ? static_cast<int>(bytes.size()) : text_size - 1;
        std::memcpy(text, bytes.constData(), static_cast<std::size_t>(n));
        text[n] = '\0';
    }
    if (flags != nullptr) {
        *flags = 0;
        if (action->isChecked()) *flags |= MENU_ITEM_CHECKED;
        if (!action->isEnabled()) *flags |= MENU_ITEM_GRAYED;
    }
    return 1;
}

void platform_menu_trigger(PlatformMenu *menu, int index) {
    QAction *action = action_at(menu, index);
    // A greyed item or a separator cannot be chosen.
    if (action == nullptr || action->isSeparator() || !action->isEnabled()) return;
    action->trigger();
}
