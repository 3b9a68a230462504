#include "WindowCaptions.h"

#include "QtText.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>

namespace {

// The first object of the name and type that belongs to the window itself: no dialog
// stands between it and the window.
template <typename T> T *ownControl(QWidget &window, const QString &name) {
    for (T *candidate : window.findChildren<T *>(name)) {
        QObject *up = candidate->parent();
        while (up && up != &window && !qobject_cast<QDialog *>(up))
            up = up->parent();
        if (up == &window)
            return candidate;
    }
    return nullptr;
}

} // namespace

bool setCaption(QWidget &window, std::string_view control, const QString &text) {
    const QString name = qs(control);
    if (control == "window")
        window.setWindowTitle(text);
    else if (auto *box = ownControl<QGroupBox>(window, name))
        box->setTitle(text);
    else if (auto *button = ownControl<QAbstractButton>(window, name))
        button->setText(text);
    else if (auto *label = ownControl<QLabel>(window, name))
        label->setText(text);
    else if (auto *menu = ownControl<QMenu>(window, name))
        menu->setTitle(text);
    else if (auto *action = ownControl<QAction>(window, name))
        action->setText(text);
    else
        return false;
    return true;
}

void applyCaptions(QWidget &window, std::span<const korvat::Caption> captions, int language) {
    for (const korvat::Caption &c : captions)
        setCaption(window, c.control, qs(c.in(language)));
}
