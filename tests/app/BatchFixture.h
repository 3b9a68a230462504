#pragma once
// The set-up of the batch mode window tests: the main window over the in-process
// simulated programmer, with its USB calls passing through counting wrappers so a test
// can act just before a given detection, and the helpers that press and watch the toggle.
#include "RecordingDialogs.h"
#include "Unit1.h"
#include "Unit4.h"
#include "WindowFill.h"
#include "buffers/Checksum.h"
#include "catalogue/Catalogue.h"
#include "link/SimBinding.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <functional>
#include <map>

using namespace korvat;

namespace batchtest {

// What the window sends the programmer, counted as it goes out.
struct Wire {
    int detections = 0;           // READ_ID blocks sent
    int lookups = 0;              // searches of the bus for the programmer
    std::vector<int> setupsAfter; // for every setup block: the detections sent before it
    // Runs just before detection n (from 1) reaches the programmer.
    std::function<void(int n)> beforeDetection;
    // Runs just before every command block reaches the programmer, with its command code
    // (after the counting above and beforeDetection).
    std::function<void(std::uint8_t command)> beforeCommand;
};

inline Wire *g_wire = nullptr;

inline int countedFindDevices() {
    if (g_wire)
        ++g_wire->lookups;
    return ksim::usb::findDevices();
}

inline int countedBulkWrite(usb_dev_handle *handle, int ep, const char *bytes, int size,
                            int timeout) {
    if (g_wire && ep == 0x01 && size > 1) {
        const auto command = static_cast<std::uint8_t>(bytes[1]);
        if (command == ksim::kReadId) {
            ++g_wire->detections;
            if (g_wire->beforeDetection)
                g_wire->beforeDetection(g_wire->detections);
        } else if (command == ksim::kSetup) {
            g_wire->setupsAfter.push_back(g_wire->detections);
        }
        if (g_wire->beforeCommand)
            g_wire->beforeCommand(command);
    }
    return ksim::usb::bulkWrite(handle, ep, bytes, size, timeout);
}

constexpr std::uint32_t kFlashSize = 1u << 20;
constexpr std::uint32_t kEepromSize = 256;
constexpr std::uint8_t kFill = 0xA5; // what the fill window puts at 0 to FF

inline ksim::Chip flashChip(std::uint32_t id, std::uint8_t seed) {
    ksim::Chip chip(ksim::Family::Spi25, id, kFlashSize);
    for (std::uint32_t i = 0; i < kFlashSize; ++i)
        chip.memory()[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return chip;
}

inline ksim::Chip eepromChip() {
    ksim::Chip chip(ksim::Family::I2c24, 0, kEepromSize);
    for (std::uint32_t i = 0; i < kEepromSize; ++i)
        chip.memory()[i] = static_cast<std::uint8_t>(i * 3 + 1);
    return chip;
}

inline QString hex8(std::uint32_t value) {
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace batchtest

using namespace batchtest;

class BatchFixture {
protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<test::ActiveSimulator> m_sim;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<TForm1> m_w;
    Wire m_wire;

    QString base() const { return m_dir->path() + QStringLiteral("/korvat"); }
    QString recordPath() const { return m_dir->path() + QStringLiteral("/korvat-batch.csv"); }
    TForm1 &w() { return *m_w; }
    QAction *action(const char *name) {
        QAction *a = w().findChild<QAction *>(QString::fromLatin1(name));
        Q_ASSERT(a);
        return a;
    }
    QAction *bulk() { return action("ToolBulk"); }
    void release() {
        if (bulk()->isChecked())
            bulk()->trigger();
    }
    QStringList log() { return w().RichEdit1->toPlainText().split(QLatin1Char('\n')); }
    // The log lines that end with text, newest first.
    QStringList logLinesEndingWith(const QString &text) {
        QStringList found;
        for (const QString &line : log())
            if (line.endsWith(QLatin1Char(' ') + text))
                found << line;
        return found;
    }
    int autoCompletions() {
        return static_cast<int>(log().filter(QStringLiteral(" AUTO Complete!Use time ")).size());
    }
    // The pass lines of the log ("#N PASS, ...", "#N FAIL (...), ..." or "#N NOT VERIFIED,
    // ..."), oldest first, without their time.
    QStringList passLines() {
        static const QRegularExpression pass(
            QStringLiteral("^\\S+ (#\\d+ (PASS|FAIL|NOT VERIFIED).*)$"));
        QStringList found;
        for (const QString &line : log())
            if (const auto m = pass.match(line); m.hasMatch())
                found.prepend(m.captured(1));
        return found;
    }
    QStringList recordLines() {
        QFile file(recordPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    const std::vector<std::string> &errors() const { return m_dialogs->errors; }
    // Selects the catalogue chip of that model.
    void selectModel(const char *model) {
        for (int type = 0; type < 2; ++type) {
            w().selectChip(type, 0, 0);
            if (w().catalogue().name(w().currentChip()).ends_with(model))
                return;
        }
        QFAIL(model);
    }
    // Addresses 0 to FF become kFill through the fill window: the loaded length is 0x100.
    void fillFirstPage() {
        fillThroughWindow(w(), "A5", "0", "FF");
        QCOMPARE(w().buffers().loadedLength, 0x100);
    }
    static bool programmed(const ksim::Chip &chip, std::uint32_t end) {
        for (std::uint32_t i = 0; i < 0x100; ++i)
            if (chip.memory()[i] != kFill)
                return false;
        for (std::uint32_t i = 0x100; i < end; ++i) // the rest erased
            if (chip.memory()[i] != 0xFF)
                return false;
        return true;
    }
    // Whether each toolbar action (but Stop, shown only while a pass runs), each control
    // directly on the main panel and each menu of the menu bar is enabled.
    std::map<QObject *, bool> enabledStates() {
        std::map<QObject *, bool> states;
        for (QAction *a : w().ToolBar1->actions())
            if (!a->isSeparator() && a->objectName() != QLatin1String("ToolStop"))
                states[a] = a->isEnabled();
        for (QWidget *c : w().centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            states[c] = c->isEnabled();
        for (QAction *a : w().menuBar()->actions())
            states[a] = a->isEnabled();
        return states;
    }

    // The chip lists and the address range, inside the main panel, can be used.
    bool chipChoiceUsable() const {
        return m_w->GroupBox1->isEnabled() && m_w->ComboBox1->isEnabled() &&
               m_w->GroupBox4->isEnabled();
    }

    // Presses the toggle and returns when the batch loop has ended. watch runs every few
    // milliseconds meanwhile, from the loop's event processing; past limitMs the toggle is
    // released for it and the test fails.
    void runBatch(const std::function<void()> &watch, int limitMs = 20000) {
        QElapsedTimer clock;
        clock.start();
        bool overran = false;
        QTimer timer;
        timer.setInterval(2);
        QObject::connect(&timer, &QTimer::timeout, m_w.get(), [&] {
            if (clock.elapsed() > limitMs) {
                overran = true;
                release();
                return;
            }
            watch();
            if (QTest::currentTestFailed())
                release(); // a check inside failed: nothing more to wait for
        });
        timer.start();
        bulk()->trigger();
        timer.stop();
        QVERIFY2(!overran, "the batch run did not reach its end in time");
        QVERIFY(!bulk()->isChecked());
    }

    void setUp() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const std::vector<GridRow> rows{
            {"25_SPI_FLASH", "Winbond", "W25Q80", "0xEF4014", std::to_string(kFlashSize), "256",
             "0", "0", "100", "0", "0", "0", "0"},
            {"24_EEPROM", "Generic", "24C02", "0x0", std::to_string(kEepromSize), "8", "1", "0",
             "100", "0", "0", "0", "0"}};
        QVERIFY(Catalogue().save(rows, (base() + ".Dat").toStdString()).outcome ==
                CatalogueOutcome::Written);
        QSettings(base() + ".ini", QSettings::IniFormat).setValue("DEVICE/LANGU", 2);

        m_wire = {};
        g_wire = &m_wire;
        m_sim = std::make_unique<test::ActiveSimulator>();
        m_sim->programmer().erasePolls = 1;
        m_sim->programmer().insert(flashChip(0xEF4014, 0));
        m_dialogs = std::make_unique<RecordingDialogs>();
        openWindow(
            {(base() + ".Dat").toStdString(), (base() + ".ini").toStdString(), {}, false, {}});
    }

    // A main window over these files and the counted programmer, the chip selected and
    // its first page filled.
    void openWindow(const AppPaths &paths) {
        m_w.reset();
        UsbApi usb = test::simulatedUsb();
        usb.findDevices = countedFindDevices;
        usb.bulkWrite = countedBulkWrite;
        m_w = std::make_unique<TForm1>(paths, ProgrammerLinks(usb, test::simulatedHid()),
                                       m_dialogs.get());
        w().show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        selectModel("W25Q80");
        fillFirstPage();
        w().RichEdit1->clear();
    }

    void tearDown() {
        m_w.reset();
        m_sim.reset();
        g_wire = nullptr;
        m_dialogs.reset();
        m_dir.reset();
    }
};
