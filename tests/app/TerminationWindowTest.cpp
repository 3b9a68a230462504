// The main window ended from outside, by a signal, through the real window against the
// simulated programmer: it closes through its own path with the settings written, and
// nothing is asked.
#include "About.h"
#include "TerminationSignals.h"
#include "WindowFixture.h"
#include "base/TextTable.h"
#include "catalogue/Catalogue.h"

#include <QComboBox>
#include <QTimer>

#include <csignal>
#include <functional>

using namespace korvat;

class TerminationWindowTest : public QObject, WindowFixture {
    Q_OBJECT

    int saved(const char *key) const {
        return QSettings(base() + ".ini", QSettings::IniFormat).value(key, -1).toInt();
    }

private slots:
    void init() {
        auto row = [](std::string maker, std::string model, std::string id) {
            return GridRow{"25_SPI_FLASH", maker, model, id, "1048576", "256", "0",
                           "0",            "100", "0",   "0", "0",     "0"};
        };
        QVERIFY(Catalogue().save({row("GigaDevice", "GD25Q80", "0xC84014"),
                                  row("Winbond", "W25Q80", "0xEF4014")},
                                 (base() + ".Dat").toStdString())
                    .outcome == CatalogueOutcome::Written);
        prepare();
        m_sim->programmer().insert(ksim::Chip(ksim::Family::Spi25, 0xEF4014, 1u << 20));
        QVERIFY(startWindow(m_dialogs.get()));
    }

    // A SIGTERM while a read runs and the about box is open over it: the settings are
    // written at once, the box closes, the read stops without a question, and the window
    // closes once it has ended.
    void aSignalClosesTheBoxStopsTheOperationAndClosesWithTheSettingsWritten() {
        TerminationSignals ending;
        connect(&ending, &TerminationSignals::requested, m_w.get(), &TForm1::closeWithoutAsking);
        trigger("fanti");
        w().ComboBox2->setFocus();
        QTest::keyClick(w().ComboBox2, Qt::Key_Down); // the second maker, the chip in the socket
        QCOMPARE(w().savedPositions()[1], 1);
        bool boxShown = false, writtenInside = false;
        std::function<void()> duringRead = [&] {
            if (!w().operationRunning())
                return QTimer::singleShot(0, m_w.get(), duringRead);
            QTimer::singleShot(0, m_w.get(), [&] {
                boxShown = w().aboutBox()->isVisible();
                std::raise(SIGTERM);
                QTRY_VERIFY(saved("CHIP/INDEX2") == 1 && saved("DEVICE/LANGU") == 1);
                writtenInside = w().operationRunning();
            });
            trigger("ToolAbout"); // back when the box has closed
        };
        QTimer::singleShot(0, m_w.get(), duringRead);
        trigger("ToolRead");
        QVERIFY(boxShown && writtenInside);
        QVERIFY(!w().aboutBox()->isVisible());
        const QString stopped = QString::fromUtf8(text(txtStoppedRead, 1).data());
        QVERIFY2(log()[0].contains(stopped.section(QStringLiteral("%1"), 0, 0)), qPrintable(log()[0]));
        QTRY_VERIFY(!w().isVisible());
        QVERIFY(m_dialogs->questions.empty());
        QVERIFY(errors().empty());
        finish();
        QCOMPARE(saved("DEVICE/LANGU"), 1);
    }
};

QTEST_MAIN(TerminationWindowTest)
#include "TerminationWindowTest.moc"
