#pragma once
// Acting inside windows the way a person would: waiting for a modal window to come up,
// typing a file name into a file dialog; and pictures of the windows for a look at them.

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

// Runs inside the next modal window of type T as soon as it is up.
template <typename T, typename Inside> void whenModal(Inside inside) {
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inside] {
        if (auto *modal = qobject_cast<T *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            inside(modal);
        }
    });
    poll->start(10);
}

// Types the name into the dialog's file name box and presses Enter.
inline void typeFileName(QFileDialog *dialog, const QString &name) {
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

// KORVAT_SCREENSHOT=folder saves pictures of the windows there, for a look at them.
inline void screenshot(QWidget *window, const char *name) {
    if (const QByteArray folder = qgetenv("KORVAT_SCREENSHOT"); !folder.isEmpty())
        window->grab().save(QString::fromLocal8Bit(folder + "/" + name + ".png"));
}
