#pragma once
// Acting inside modal windows the way a person would: waiting for the window to come
// up, and typing a file name into a file dialog.

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
