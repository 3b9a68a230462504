#include "HexView.h"
#include "Unit1.h"
#include "Unit3.h"
#include "app/TextTable.h"
#include "catalogue/Catalogue.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>

using namespace korvat;

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString base() const { return m_dir.path() + QStringLiteral("/korvat"); }

    void writeCatalogue() {
        auto row = [](std::string type, std::string maker, std::string model, std::string capacity,
                      std::string family, std::string eeprom = "0", std::string voltage = "0") {
            return GridRow{type, maker, model,   "0x1",  capacity, "256", family,
                           "0",  "100", voltage, eeprom, "4",      "0"};
        };
        Catalogue cat;
        ASSERT(cat.save({row("SPI", "Winbond", "W25Q80", "1048576", "0"),
                         row("SPI", "Winbond", "W25Q64", "8388608", "0", "0", "1"),
                         row("SPI", "WINBOND", "Shadow", "4096", "0"),
                         row("EEPROM24", "Atmel", "AT24C02", "256", "1"),
                         row("AVR", "Atmel", "ATmega8", "8192", "4", "512")},
                        (base() + ".Dat").toStdString())
                   .outcome == CatalogueOutcome::Written);
    }
    static void ASSERT(bool ok) { QVERIFY(ok); }
    void writeSettings(std::initializer_list<std::pair<const char *, int>> values) {
        QSettings s(base() + ".ini", QSettings::IniFormat);
        for (auto [k, v] : values)
            s.setValue(QString::fromLatin1(k), v);
    }
    QAction *action(TForm1 &w, const char *name) {
        return w.findChild<QAction *>(QString::fromLatin1(name));
    }
    static QStringList items(QComboBox *box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }

private slots:
    void init() {
        QFile::remove(base() + ".ini");
        writeCatalogue();
    }

    void startsWithDefaultsWithoutSettings() {
        TForm1 w(base());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.size(), QSize(700, 500));
        QCOMPARE(w.windowTitle(), QStringLiteral("Korvat 2高速编程器"));
        QVERIFY(!action(w, "ToolDevice")->isVisible());
        QVERIFY(!action(w, "N3")->isVisible());
        QVERIFY(action(w, "China")->isChecked());
        QCOMPARE(items(w.ComboBox1), (QStringList{"SPI", "EEPROM24", "AVR"}));
        QCOMPARE(items(w.ComboBox2), QStringList{"Winbond"});
        // The capitalised maker's chip never reaches the model list.
        QCOMPARE(items(w.ComboBox3), (QStringList{"W25Q80", "W25Q64"}));
        QCOMPARE(w.currentChip(), 0);
        QCOMPARE(w.Edit1->text(), QStringLiteral("1048576"));
        QCOMPARE(w.Edit4->text(), QStringLiteral("FFFFF"));
        QCOMPARE(w.FlashEditor->dataSize(), std::size_t{1048576});
        QVERIFY(!w.PageControl1->isTabVisible(w.PageControl1->indexOf(w.TabSheet2)));
        QVERIFY(!w.Label9->isVisible());
        if (const QByteArray shot = qgetenv("KORVAT_SCREENSHOT"); !shot.isEmpty())
            w.grab().save(QString::fromLocal8Bit(shot));
    }

    void startsInTheSavedLanguageAndShowsTheEditorCommand() {
        writeSettings({{"DEVICE/LANGU", 2}, {"DEVICE/chip", 1}, {"CHIP/INDEX1", 2}});
        TForm1 w(base());
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Korvat 2 USB High Programmer"));
        QCOMPARE(action(w, "ToolFill")->text(), QStringLiteral("FIll"));
        QVERIFY(action(w, "ToolDevice")->isVisible());
        QVERIFY(action(w, "N3")->isVisible());
        QCOMPARE(w.ComboBox1->currentText(), QStringLiteral("AVR"));
        QVERIFY(w.PageControl1->isTabVisible(w.PageControl1->indexOf(w.TabSheet2)));
        QCOMPARE(w.EepromEditor->dataSize(), std::size_t{512});
        QCOMPARE(w.PageControl1->tabText(0), QStringLiteral("FLASH"));
    }

    void outOfRangeSettingsAreClamped() {
        writeSettings({{"DEVICE/LANGU", 9}, {"CHIP/INDEX2", -4}});
        TForm1 w(base());
        w.show();
        QCOMPARE(w.language(), 0);
        QCOMPARE(w.savedPositions()[1], 0);
    }

    void closeWritesPositionsSpeedAndLanguageButNoGeometry() {
        {
            TForm1 w(base());
            w.show();
            w.ComboBox3->setCurrentIndex(1);
            w.ComboBox3Change();
            w.EnlishClick();
            w.close();
        }
        QSettings s(base() + ".ini", QSettings::IniFormat);
        QCOMPARE(s.value("CHIP/INDEX3").toInt(), 1);
        QCOMPARE(s.value("DEVICE/LANGU").toInt(), 2);
        QCOMPARE(s.value("DEVICE/SPEED").toInt(), 0);
        QVERIFY(!s.contains("Environment/FormWidth"));
        QVERIFY(!s.contains("Environment/FormTop"));
    }

    void languageSwitchSetsCaptionsAndClearsTheLog() {
        TForm1 w(base());
        w.show();
        w.RichEdit1->setPlainText(QStringLiteral("old line"));
        w.EnlishClick();
        QCOMPARE(w.windowTitle(), QStringLiteral("Korvat 2 USB High Programmer"));
        QVERIFY(w.RichEdit1->toPlainText().isEmpty());
        QVERIFY(action(w, "Enlish")->isChecked());
        QVERIFY(!action(w, "China")->isChecked());
        QVERIFY(!w.Panel1->isRed()); // "编程器未接入" is not English "Not connected"
        w.fantiClick();
        QCOMPARE(action(w, "China")->text(), QStringLiteral("中文简体"));
        QCOMPARE(action(w, "fanti")->text(), QStringLiteral("中文繁體"));
        QCOMPARE(action(w, "Enlish")->text(), QStringLiteral("Enlish"));
        QCOMPARE(w.findChild<QMenu *>("O1")->title(), QStringLiteral("文件(&F)"));
        w.ChinaClick();
        QCOMPARE(action(w, "fanti")->text(), QStringLiteral("繁體"));
        QVERIFY(w.Panel1->isRed());
    }

    void listHandlersSelectAndRememberPositions() {
        TForm1 w(base());
        w.show();
        w.buffers().loadedLength = 99;
        w.ComboBox1->setCurrentIndex(1);
        w.ComboBox1Change();
        QCOMPARE(w.savedPositions(), (std::array<int, 3>{1, 0, 0}));
        QCOMPARE(w.ComboBox3->currentText(), QStringLiteral("AT24C02"));
        QCOMPARE(w.PageControl1->tabText(0), QStringLiteral("EEPROM"));
        QCOMPARE(w.buffers().loadedLength, 0); // selecting a chip empties the buffer
        QCOMPARE(w.Edit4->text(), QStringLiteral("FF"));
        w.ComboBox1->setCurrentIndex(0);
        w.ComboBox1Change();
        w.ComboBox3->setCurrentIndex(1);
        w.ComboBox3Change();
        QVERIFY(w.Label9->isVisibleTo(&w)); // 1.8 V chip
    }

    void addressEditsTakeHexadecimalInUpperCase() {
        TForm1 w(base());
        w.show();
        QVERIFY(!w.Edit3->isEnabled());
        w.CheckBox5->click();
        QVERIFY(w.Edit3->isEnabled());
        QVERIFY(w.buffers().range.enabled);
        w.Edit3->clear();
        QTest::keyClicks(w.Edit3, "1fg z");
        QCOMPARE(w.Edit3->text(), QStringLiteral("1F"));
        QCOMPARE(w.buffers().range.start, 0x1F);
        w.Edit3->clear(); // an empty edit keeps the value
        QCOMPARE(w.buffers().range.start, 0x1F);
    }

    void searchListsMatchesWithTheirCase() {
        TForm1 w(base());
        w.show();
        TForm3 *search = w.searchWindow();
        search->show();
        QCOMPARE(search->ListView1->columnCount(), 4);
        QCOMPARE(search->ListView1->headerItem()->text(3), QStringLiteral("pos"));
        search->ComboBox1->setEditText(QStringLiteral("W25Q"));
        QCOMPARE(search->ListView1->topLevelItemCount(), 2);
        QCOMPARE(search->ListView1->topLevelItem(1)->text(3), QStringLiteral("1"));
        search->ComboBox1->setEditText(QStringLiteral("w25q"));
        QCOMPARE(search->ListView1->topLevelItemCount(), 0);
        search->ComboBox1->setEditText(QStringLiteral("  "));
        QCOMPARE(search->ListView1->topLevelItemCount(), 0);
        w.EnlishClick();
        QCOMPARE(search->ListView1->headerItem()->text(1), QStringLiteral("Manufacturer"));
        QCOMPARE(search->windowTitle(), QStringLiteral("Chip Select"));
    }

    void choosingAFoundChipSelectsItButKeepsTheSavedPositions() {
        TForm1 w(base());
        w.show();
        TForm3 *search = w.searchWindow();
        search->show();
        search->ComboBox1->setEditText(QStringLiteral("ATmega"));
        search->BitBtn1Click(); // no row selected: nothing happens
        QVERIFY(search->isVisible());
        QCOMPARE(w.currentChip(), 0);
        search->ListView1->setCurrentItem(search->ListView1->topLevelItem(0));
        search->BitBtn1Click();
        QVERIFY(!search->isVisible());
        QCOMPARE(w.currentChip(), 4);
        QCOMPARE(w.ComboBox1->currentText(), QStringLiteral("AVR"));
        QCOMPARE(w.ComboBox3->currentText(), QStringLiteral("ATmega8"));
        QCOMPARE(w.savedPositions(), (std::array<int, 3>{0, 0, 0}));
        search->show(); // the text stays, the list waits for a change
        QCOMPARE(search->ComboBox1->currentText(), QStringLiteral("ATmega"));
        QCOMPARE(search->ListView1->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
