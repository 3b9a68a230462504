// The main window ended from outside, by a signal, through the real window against the
// simulated programmer: it closes through its own path with the settings written, and
// nothing is asked.
#include "About.h"
#include "TerminationSignals.h"
#include "WindowFixture.h"
#include "catalogue/Catalogue.h"

#include <QComboBox>
#include <QTimer>

#include <csignal>

using namespace korvat;

class TerminationWindowTest : public QObject, WindowFixture {
    Q_OBJECT

    std::unique_ptr<TerminationSignals> m_ending;

    int saved(const char *key) const {
        return QSettings(base() + ".ini", QSettings::IniFormat).value(key, -1).toInt();
    }
    // The second maker in the list, chosen with the keyboard.
    void chooseSecondMaker() {
        w().ComboBox2->setFocus();
        QTest::keyClick(w().ComboBox2, Qt::Key_Down);
        QCOMPARE(w().ComboBox2->currentText(), QStringLiteral("Winbond"));
        QCOMPARE(w().savedPositions()[1], 1);
    }

    // Runs at the first event pump at which an operation holds the programmer.
    template <typename Inside> void duringNextOperation(Inside inside) {
        QTimer::singleShot(0, m_w.get(), [this, inside] {
            w().operationRunning() ? inside() : duringNextOperation(inside);
        });
    }

private slots:
    void initTestCase() {
        auto row = [](std::string maker, std::string model, std::string id) {
            return GridRow{"25_SPI_FLASH", maker, model, id, "1048576", "256", "0",
                           "0",            "100", "0",   "0", "0",     "0"};
        };
        Catalogue cat;
        QVERIFY(cat.save({row("GigaDevice", "GD25Q80", "0xC84014"),
                          row("Winbond", "W25Q80", "0xEF4014")},
                         (base() + ".Dat").toStdString())
                    .outcome == CatalogueOutcome::Written);
    }

    void init() {
        prepare();
        m_sim->programmer().insert(ksim::Chip(ksim::Family::Spi25, 0xEF4014, 1u << 20));
        QVERIFY(startWindow(m_dialogs.get()));
        m_ending = std::make_unique<TerminationSignals>();
        connect(m_ending.get(), &TerminationSignals::requested, m_w.get(),
                &TForm1::closeWithoutAsking);
    }

    void cleanup() {
        m_ending.reset();
        finish();
    }

    // A SIGTERM while the about box is open closes the box and then the window; the
    // language and the chip chosen are in the settings.
    void aSignalClosesTheOpenBoxAndTheWindowWithTheSettingsWritten() {
        trigger("fanti");
        chooseSecondMaker();
        bool boxShown = false;
        QTimer::singleShot(0, m_w.get(), [&] {
            boxShown = w().aboutBox()->isVisible();
            std::raise(SIGTERM);
        });
        trigger("ToolAbout"); // back when the box has closed
        QVERIFY(boxShown);
        QVERIFY(!w().aboutBox()->isVisible());
        QTRY_VERIFY(!w().isVisible());
        QCOMPARE(saved("DEVICE/LANGU"), 1);
        QCOMPARE(saved("CHIP/INDEX2"), 1);
        QVERIFY(m_dialogs->questions.empty());
        QVERIFY(errors().empty());
    }

    // A SIGTERM during a read writes the settings at once, stops the read without asking
    // and closes the window once it has ended.
    void aSignalDuringAnOperationStopsItAndCloses() {
        chooseSecondMaker();
        bool writtenInside = false;
        duringNextOperation([&] {
            std::raise(SIGTERM);
            QTRY_VERIFY(saved("CHIP/INDEX2") == 1);
            writtenInside = w().operationRunning();
        });
        trigger("ToolRead");
        QVERIFY(writtenInside);
        QVERIFY2(log()[0].contains(QStringLiteral(" The read stopped at address ")),
                 qPrintable(log()[0]));
        QTRY_VERIFY(!w().isVisible());
        QVERIFY(m_dialogs->questions.empty());
        QCOMPARE(saved("DEVICE/LANGU"), 2);
    }
};

QTEST_MAIN(TerminationWindowTest)
#include "TerminationWindowTest.moc"
