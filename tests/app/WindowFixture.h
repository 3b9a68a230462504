#pragma once
// The set-up the main window tests share: a folder of their own with the catalogue and
// settings files, the in-process simulated programmer, recorded message boxes and the
// real main window over them, shown offscreen in English.
#include "RecordingDialogs.h"
#include "Unit1.h"
#include "link/SimBinding.h"

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class WindowFixture {
protected:
    QTemporaryDir m_dir;
    std::unique_ptr<korvat::test::ActiveSimulator> m_sim;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<TForm1> m_w;

    // The catalogue and settings files are this with ".Dat" and ".ini".
    QString base() const { return m_dir.path() + QStringLiteral("/korvat"); }
    TForm1 &w() { return *m_w; }
    QAction *action(const char *name) { return w().findChild<QAction *>(QLatin1String(name)); }
    void trigger(const char *name) { action(name)->trigger(); }
    QStringList log() { return w().RichEdit1->toPlainText().split(QLatin1Char('\n')); }
    const std::vector<std::string> &errors() const { return m_dialogs->errors; }

    // Fresh settings in English, a programmer on the bus with an empty socket and boxes
    // that are recorded; the window is started by startWindow.
    void prepare() {
        QFile::remove(base() + ".ini");
        QSettings(base() + ".ini", QSettings::IniFormat).setValue("DEVICE/LANGU", 2);
        m_sim = std::make_unique<korvat::test::ActiveSimulator>();
        m_dialogs = std::make_unique<RecordingDialogs>();
    }
    // A new main window over the simulated programmer (and, with hid, its boot loader),
    // shown and exposed; without dialogs it shows real message boxes. False when the
    // window did not show.
    bool startWindow(Dialogs *dialogs, bool hid = false) {
        m_w.reset();
        m_w = std::make_unique<TForm1>(
            base(),
            hid ? ProgrammerLinks(korvat::test::simulatedUsb(), korvat::test::simulatedHid())
                : ProgrammerLinks(korvat::test::simulatedUsb()),
            dialogs);
        w().show();
        return QTest::qWaitForWindowExposed(m_w.get());
    }
    // The window goes before the programmer it talks to.
    void finish() {
        m_w.reset();
        m_sim.reset();
    }
};
