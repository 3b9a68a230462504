#include "About.h"
#include "HexView.h"
#include "Modal.h"
#include "RecordingDialogs.h"
#include "StartUp.h"
#include "Unit1.h"
#include "Unit3.h"
#include "Unit4.h"
#include "WindowHost.h"
#include "app/StartLanguage.h"
#include "app/UserCatalogue.h"
#include "base/RegularFile.h"
#include "base/TextTable.h"
#include "catalogue/Catalogue.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <thread>

using namespace korvat;

// Runs the handler, which opens a modal window, and acts inside it before it closes.
template <typename Inside> bool whileModal(TForm1 &w, void (TForm1::*handler)(), Inside inside) {
    bool ran = false;
    QTimer::singleShot(0, &w, [&] {
        ran = true;
        inside();
    });
    (w.*handler)();
    return ran;
}

// Receives the addresses the desktop would have opened.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    RecordingDialogs m_dialogs;
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
        m_dialogs = RecordingDialogs();
    }

    void startsWithDefaultsWithoutSettings() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
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
        screenshot(&w, "main");
    }

    void startsInTheSavedLanguageAndShowsTheEditorCommand() {
        writeSettings({{"DEVICE/LANGU", 2}, {"DEVICE/chip", 1}, {"CHIP/INDEX1", 2}});
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Korvat 2 USB High Programmer"));
        QCOMPARE(action(w, "ToolFill")->text(), QStringLiteral("FIll"));
        QVERIFY(action(w, "ToolDevice")->isVisible());
        QVERIFY(action(w, "N3")->isVisible());
        QVERIFY(action(w, "ToolDevice")->isEnabled());
        QVERIFY(action(w, "N3")->isEnabled());
        QCOMPARE(w.ComboBox1->currentText(), QStringLiteral("AVR"));
        QVERIFY(w.PageControl1->isTabVisible(w.PageControl1->indexOf(w.TabSheet2)));
        QCOMPARE(w.EepromEditor->dataSize(), std::size_t{512});
        // The first tab is named by the family's list position, here 2 (not 0 or 4), also
        // once the start-up has set the texts of the language.
        QCOMPARE(w.PageControl1->tabText(0), QStringLiteral("EEPROM"));
    }

    // An error that escapes start-up is shown, and the application ends: no window.
    void anErrorAtStartUpIsShownAndEndsTheApplication() {
        RecordingDialogs dialogs;
        QVERIFY(!startUp([]() -> std::unique_ptr<QWidget> { throw std::bad_alloc(); }, dialogs));
        QVERIFY(!startUp([]() -> std::unique_ptr<QWidget> { throw std::runtime_error("broken"); },
                         dialogs));
        QVERIFY(!startUp([]() -> std::unique_ptr<QWidget> { throw 7; }, dialogs));
        QCOMPARE(dialogs.errors, (std::vector<std::string>{
                                     "Out of memory: the program's buffers could not be allocated.",
                                     "broken", "The program could not start."}));
        const auto window = startUp(
            [&] {
                auto w = std::make_unique<TForm1>(base(), UsbApi::unavailable(), &m_dialogs);
                w->show();
                return std::unique_ptr<QWidget>(std::move(w));
            },
            dialogs);
        QVERIFY(window && window->isVisible());
        QCOMPARE(dialogs.errors.size(), std::size_t{3});
    }

    void outOfRangeSettingsAreClamped() {
        writeSettings({{"DEVICE/LANGU", 9}, {"CHIP/INDEX2", -4}});
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        QCOMPARE(w.language(), 0);
        QCOMPARE(w.savedPositions()[1], 0);
    }

    // Where no installed font draws Chinese (a stand-in check that draws only ASCII), the
    // window starts in English and says so once; the settings keep the saved language
    // until the person picks one. With a font the saved language shows.
    void withoutAChineseFontTheWindowStartsInEnglish() {
        writeSettings({{"DEVICE/LANGU", 1}});
        std::vector<std::string> asked;
        const auto latinOnly = [&](std::string_view sample) {
            asked.emplace_back(sample);
            return std::all_of(sample.begin(), sample.end(), [](char c) { return c > 0; });
        };
        for (const bool pick : {false, true}) {
            TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
            w.setFontCheck(latinOnly);
            w.show();
            QCOMPARE(w.language(), 2);
            QCOMPARE(w.windowTitle(), QStringLiteral("Korvat 2 USB High Programmer"));
            QVERIFY(action(w, "Enlish")->isChecked());
            QCOMPARE(w.RichEdit1->toPlainText().count(QStringLiteral("No installed font")), 1);
            if (pick)
                w.ChinaClick(); // readable or not, the person's choice is kept
            w.close();
            QCOMPARE(QSettings(base() + ".ini", QSettings::IniFormat).value("DEVICE/LANGU").toInt(),
                     pick ? 0 : 1);
        }
        QCOMPARE(asked, (std::vector<std::string>(2, languageSample(1))));
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.setFontCheck([](std::string_view) { return true; });
        w.show();
        QCOMPARE(w.language(), 0);
        QVERIFY(w.RichEdit1->toPlainText().isEmpty());
    }

    void closeWritesPositionsSpeedAndLanguageButNoGeometry() {
        {
            TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
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

    void settingsThatCannotBeWrittenAreReported() {
        QFile blocker(m_dir.path() + "/blocker"); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString base = blocker.fileName() + "/korvat";
        {
            TForm1 w(base, UsbApi::unavailable(), &m_dialogs);
            w.show();
            w.close();
        }
        QCOMPARE(m_dialogs.errors,
                 std::vector<std::string>{("Unable to write to " + base + ".ini").toStdString()});
    }

    // A named pipe as the settings file or the catalogue is neither read nor waited on:
    // the window starts with the defaults and says why; the pipe is not written over.
    void pipesAsSettingsAndCatalogueAreRefusedAtStartUp() {
        const QString ini = base() + ".ini", dat = base() + ".Dat";
        QFile::remove(dat);
        QVERIFY(mkfifo(ini.toLocal8Bit().constData(), 0600) == 0);
        QVERIFY(mkfifo(dat.toLocal8Bit().constData(), 0600) == 0);
        const auto cleanUp = qScopeGuard([&] {
            QFile::remove(ini);
            QFile::remove(dat);
        });
        // A start-up that waits on a pipe ends the test program as failed instead of
        // hanging it.
        std::atomic<bool> started{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 1000 && !started; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (!started) {
                std::fputs("FAIL: the window waits on a pipe at start-up\n", stderr);
                std::_Exit(1);
            }
        });
        const auto joined = qScopeGuard([&] {
            started = true;
            watchdog.join();
        });
        QElapsedTimer clock;
        clock.start();
        {
            TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
            w.show();
            QVERIFY(clock.elapsed() < 5000);
            QCOMPARE(w.language(), 0);
            QCOMPARE(w.ComboBox1->count(), 0);
            w.close();
        }
        started = true;
        QCOMPARE(m_dialogs.errors,
                 (std::vector<std::string>{notRegularFileText(ini.toStdString(), 0),
                                           notRegularFileText(dat.toStdString(), 0),
                                           ("Unable to write to " + ini).toStdString()}));
        QVERIFY(isIrregularFile(ini.toStdString()));
    }

    void languageSwitchSetsCaptionsAndClearsTheLog() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        w.ComboBox1->setCurrentIndex(1); // a 24-series chip: its first tab is "EEPROM"
        w.ComboBox1Change();
        // Qt's own texts (here an edit's context menu) follow the language too.
        auto firstMenuText = [&w] {
            std::unique_ptr<QMenu> menu(w.Edit3->createStandardContextMenu());
            return menu->actions().value(0)->text();
        };
        QVERIFY(firstMenuText().contains(QRegularExpression(QStringLiteral("\\p{Han}"))));
        w.RichEdit1->setPlainText(QStringLiteral("old line"));
        action(w, "Enlish")->trigger();
        QCOMPARE(w.windowTitle(), QStringLiteral("Korvat 2 USB High Programmer"));
        QVERIFY(w.RichEdit1->toPlainText().isEmpty());
        QVERIFY(action(w, "Enlish")->isChecked());
        QVERIFY(!action(w, "China")->isChecked());
        QCOMPARE(w.Panel1->text(), QStringLiteral("Not connected"));
        QVERIFY(w.Panel1->isRed());
        QCOMPARE(w.PageControl1->tabText(0), QStringLiteral("EEPROM"));
        QVERIFY(firstMenuText().startsWith(QStringLiteral("&Undo")));
        action(w, "fanti")->trigger();
        QCOMPARE(w.Panel1->text(), QStringLiteral("編程器未接入"));
        QVERIFY(firstMenuText().contains(QRegularExpression(QStringLiteral("\\p{Han}"))));
        QCOMPARE(action(w, "China")->text(), QStringLiteral("中文简体"));
        QCOMPARE(action(w, "fanti")->text(), QStringLiteral("中文繁體"));
        QCOMPARE(action(w, "Enlish")->text(), QStringLiteral("Enlish"));
        QCOMPARE(w.findChild<QMenu *>("O1")->title(), QStringLiteral("文件(&F)"));
        w.ChinaClick();
        QCOMPARE(action(w, "fanti")->text(), QStringLiteral("繁體"));
        QVERIFY(w.Panel1->isRed());
    }

    void listHandlersSelectAndRememberPositions() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
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
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
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

    // Opened from "查找" (a modal window): typing goes straight to the search box, every
    // time, and the slot column stays a sliver however the list is filled.
    void searchBoxHasTheFocusAndThePosColumnDoesNotStretch() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        TForm3 *search = w.searchWindow();
        for (int opening = 0; opening < 2; ++opening) {
            QVERIFY(whileModal(w, &TForm1::BitBtn2Click, [&] {
                const auto close = qScopeGuard([&] { search->reject(); });
                QTRY_COMPARE(QApplication::focusWidget(), search->ComboBox1);
                QCOMPARE(search->ComboBox1->lineEdit()->selectedText(),
                         search->ComboBox1->currentText());
                QTest::keyClicks(QApplication::focusWidget(), "W25");
                QCOMPARE(search->ListView1->topLevelItemCount(), 2);
                QCOMPARE(search->ListView1->columnWidth(3), 1);
                search->ListView1->setFocus(); // the person moves on to the list
            }));
        }
        QVERIFY(!search->ListView1->header()->stretchLastSection());
    }

    // Eight hexadecimal digits fit in both address edits and the FLASH view's 16 columns
    // in sight in every language, at the default size and maximised, and the window stays
    // at its 700 x 500: there the blanks between the columns narrow, the characters column
    // goes out of sight and the log is 91 high; maximised, the log grows and the blanks
    // are whole characters. The last column takes a click and digits.
    void addressesAndHexColumnsShowWhole() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        HexView *view = w.FlashEditor;
        const int digit = view->fontMetrics().horizontalAdvance(QLatin1Char('0'));
        for (const bool maximised : {false, true}) {
            if (maximised)
                w.showMaximized();
            for (void (TForm1::*language)() :
                 {&TForm1::ChinaClick, &TForm1::fantiClick, &TForm1::EnlishClick}) {
                (w.*language)();
                QApplication::processEvents();
                if (!maximised)
                    QCOMPARE(w.size(), QSize(700, 500));
                for (QLineEdit *edit : {w.Edit3, w.Edit4}) {
                    QStyleOptionFrame option;
                    option.initFrom(edit);
                    const QRect text =
                        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
                    for (const char digit : {'0', '8', 'B', 'D', 'F'}) {
                        const QString address(8, QLatin1Char(digit));
                        QVERIFY2(text.width() - 4 >= edit->fontMetrics().horizontalAdvance(address),
                                 qPrintable(edit->objectName() + QLatin1Char(' ') + address));
                    }
                }
                const QRect last = view->cellRect(0x0F);
                QVERIFY(view->viewport()->rect().contains(last));
                QVERIFY(view->charsColumnX() > last.right());
                const int blank = view->cellRect(1).x() - view->cellRect(0).right() - 1;
                QVERIFY(maximised ? blank == digit : blank < digit && blank >= digit / 3);
                QVERIFY(maximised || view->charsColumnX() + 16 * digit > view->viewport()->width());
                QVERIFY(maximised ? w.RichEdit1->height() > 91 : w.RichEdit1->height() == 91);
                screenshot(&w, maximised ? "main-maximised" : "main-range");
            }
        }
        w.showNormal();
        QTRY_COMPARE(w.size(), QSize(700, 500));
        const QRect last = view->cellRect(0x1F);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, last.topLeft() + QPoint(1, 1));
        QTest::keyClicks(view, "5a");
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, last.bottomRight() - QPoint(1, 1));
        QTest::keyClick(view, '3'); // the low digit, where the click was
        QCOMPARE(view->bytes()[0x1F], std::uint8_t{0x53});
        QCOMPARE(view->bytes()[0x1E], std::uint8_t{0xFF});
        w.resize(1100, 600); // wide enough, the characters column shows whole
        QTRY_VERIFY(view->charsColumnX() + 16 * digit <= view->viewport()->width());
    }

    void searchListsMatchesWithTheirCaseFirst() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        TForm3 *search = w.searchWindow();
        search->show();
        QCOMPARE(search->ListView1->columnCount(), 4);
        QCOMPARE(search->ListView1->headerItem()->text(3), QStringLiteral("pos"));
        search->ComboBox1->setEditText(QStringLiteral("W25Q"));
        QCOMPARE(search->ListView1->topLevelItemCount(), 2);
        QCOMPARE(search->ListView1->topLevelItem(1)->text(3), QStringLiteral("1"));
        search->ComboBox1->setEditText(QStringLiteral("w25q")); // in no name: in any case
        QCOMPARE(search->ListView1->topLevelItemCount(), 2);
        search->ComboBox1->setEditText(QStringLiteral("  "));
        QCOMPARE(search->ListView1->topLevelItemCount(), 0);
        w.EnlishClick();
        QCOMPARE(search->ListView1->headerItem()->text(1), QStringLiteral("Manufacturer"));
        QCOMPARE(search->windowTitle(), QStringLiteral("Chip Select"));
    }

    void choosingAFoundChipSelectsItButKeepsTheSavedPositions() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
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
        // Enter: nothing with several found and none selected, else the row selected or
        // the only one found.
        search->ComboBox1->setEditText(QStringLiteral("winbond"));
        QTest::keyClick(search->ComboBox1, Qt::Key_Return);
        QVERIFY(search->isVisible());
        QTest::keyClick(search->ListView1, Qt::Key_Down); // the first row
        QTest::keyClick(search->ListView1, Qt::Key_Return);
        QCOMPARE(w.currentChip(), 0);
        search->show();
        search->ComboBox1->setEditText(QStringLiteral("atmega"));
        QTest::keyClick(search->ComboBox1, Qt::Key_Return);
        QCOMPARE(w.currentChip(), 4);
    }

    void formMaxOpensMaximised() {
        writeSettings({{"Environment/FormMax", 1}, {"Environment/FormWidth", 300}});
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        QVERIFY(w.windowState() & Qt::WindowMaximized);
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void damagedCatalogueIsReportedAndLeavesTheListsEmpty() {
        QFile file(base() + ".Dat");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(70000, '\x01'));
        file.close();
        writeSettings({{"DEVICE/LANGU", 2}});
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        // A portable copy's catalogue is named and kept as it is.
        QCOMPARE(m_dialogs.errors,
                 std::vector<std::string>{std::string(text(txtCatalogueDamaged, 2)) + "\n" +
                                          (base() + ".Dat").toStdString()});
        QCOMPARE(file.size(), 70000);
        QCOMPARE(w.ComboBox1->count(), 0);
        QCOMPARE(w.windowTitle(), QStringLiteral("Korvat 2 USB High Programmer"));
    }

    // An installed copy: a newer default beside the user's edited catalogue is told in
    // the log once; a damaged user catalogue is set aside, the default seeded in its
    // place, and the box names both files.
    void installedCatalogueToldOnceOrRecovered() {
        QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/data")));
        const std::string user = (m_dir.path() + QStringLiteral("/data/korvat.Dat")).toStdString();
        const AppPaths paths{user, (base() + ".ini").toStdString(), (base() + ".Dat").toStdString(),
                             true};
        QVERIFY(Catalogue()
                    .save({{"SPI", "Acme", "MINE", "0x1", "4096", "256", "0", "0", "100", "0", "0",
                            "4", "0"}},
                          user)
                    .outcome == CatalogueOutcome::Written);
        QVERIFY(Catalogue().save({}, paths.defaultCatalogue).outcome == CatalogueOutcome::Written);
        QVERIFY(updateUserCatalogue(paths) == CatalogueUpdate::NewerDefault); // no record kept
        writeCatalogue();                                                     // a newer default
        writeSettings({{"DEVICE/LANGU", 1}});
        const QString told = QString::fromStdString(
            textWith(txtNewerDefaultCatalogue, 1, {paths.defaultCatalogue, user}));
        for (const bool first : {true, false}) {
            TForm1 w(paths, UsbApi::unavailable(), &m_dialogs);
            w.show();
            QCOMPARE(w.RichEdit1->toPlainText().contains(told), first);
            if (first)
                screenshot(&w, "main-newer-catalogue");
            QCOMPARE(items(w.ComboBox3), QStringList{"MINE"});
        }
        QVERIFY(m_dialogs.errors.empty());

        QFile damaged(QString::fromStdString(user));
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(QByteArray(68 * 3, 'x'));
        damaged.close();
        TForm1 w(paths, UsbApi::unavailable(), &m_dialogs);
        w.show();
        const QStringList aside =
            QDir(m_dir.path() + QStringLiteral("/data")).entryList({"korvat.Dat.damaged-*"});
        QCOMPARE(aside.size(), 1);
        const std::string asidePath = (m_dir.path() + "/data/" + aside[0]).toStdString();
        QCOMPARE(m_dialogs.errors,
                 std::vector<std::string>{std::string(text(txtCatalogueDamaged, 1)) + "\n" +
                                          textWith(txtCatalogueSetAside, 1, {asidePath, user})});
        QCOMPARE(items(w.ComboBox1), (QStringList{"SPI", "EEPROM24", "AVR"})); // the default's
    }

    void missingCatalogueGivesEmptyListsWithoutAMessage() {
        QFile::remove(base() + ".Dat");
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        QVERIFY(m_dialogs.errors.empty());
        QCOMPARE(w.ComboBox1->count(), 0);
    }

    void toolbarHasItsIconsSizesAndOnlyBuiltCommandsEnabled() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        QStringList order;
        for (QAction *a : w.ToolBar1->actions()) {
            order << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
            if (a->isSeparator())
                continue;
            QVERIFY2(!a->icon().pixmap(48, 48).isNull(), qPrintable(a->objectName()));
            QCOMPARE(w.ToolBar1->widgetForAction(a)->size(), QSize(55, 68));
        }
        QCOMPARE(order, (QStringList{"ToolOpen", "ToolSave", "|", "ToolFill", "ToolBank", "|",
                                     "ToolAuto", "ToolErase", "ToolWrite", "ToolRead", "ToolVerify",
                                     "ToolBulk", "ToolStop", "|", "ToolDevice", "ToolAbout"}));
        QVERIFY(!action(w, "ToolStop")->isVisible()); // until a command runs
        QVERIFY(action(w, "ToolBulk")->isCheckable());
        for (const char *name :
             {"ToolOpen", "ToolSave", "ToolFill", "ToolAbout", "ToolRead", "ToolAuto", "ToolBulk",
              "O2", "S1", "A1", "E1", "Fill", "N5", "Q1", "N4"})
            QVERIFY2(action(w, name)->isEnabled(), name);
    }

    // Over the empty panel 4, 2 pixels in, to the right edge.
    void progressBarsFollowTheStatusBarWidth() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        w.resize(900, 520);
        const int left = w.StatusPanels[4]->x() + 2;
        QTRY_COMPARE(w.Progress->width(), w.statusBar()->width() - left);
        QCOMPARE(w.Progress->x(), left);
        QCOMPARE(w.Progress2->x(), left);
        QCOMPARE(w.Progress2->y(), w.Progress->y() + w.Progress->height());
        QVERIFY(!w.Progress2->isVisible());
    }

    // While an operation runs both bars lie wholly inside the status bar, right of the
    // panels: the checksum (or the time left) stays whole beside them, at the default
    // size and maximised.
    void progressBarsKeepClearOfTheChecksum() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto &host = const_cast<WindowHost &>(w.host());
        QLabel *sum = w.StatusPanels[3];
        QVERIFY(sum->text().startsWith(QStringLiteral("CRC32 ")));
        host.setProgressMaximum(100);
        host.setProgressValue(50);
        host.setProgressVisible(true);
        for (const bool maximised : {false, true}) {
            if (maximised)
                w.showMaximized();
            QApplication::processEvents();
            if (!maximised)
                QCOMPARE(w.size(), QSize(700, 500));
            const QStatusBar *bar = w.statusBar();
            const QString widest = QStringLiteral("CRC32 ") + QString(8, QLatin1Char('D'));
            QVERIFY(sum->contentsRect().width() >= sum->fontMetrics().horizontalAdvance(widest));
            for (QProgressBar *p : {w.Progress, w.Progress2}) {
                QVERIFY(p->isVisible());
                QVERIFY2(bar->rect().contains(p->geometry()), qPrintable(p->objectName()));
                QVERIFY(p->x() > sum->geometry().right());
                QCOMPARE(p->x() + p->width(), bar->width());
                QCOMPARE(p->x(), w.Progress->x());
            }
            QCOMPARE(w.Progress2->y(), w.Progress->y() + w.Progress->height());
            QVERIFY(w.Progress2->height() >= w.Progress->height() / 2 - 1);
            screenshot(&w, maximised ? "main-bars-maximised" : "main-bars");
        }
        // Back at its size the bars follow the status bar again.
        w.showNormal();
        w.resize(900, 520);
        QTRY_COMPARE(w.Progress->x() + w.Progress->width(), w.statusBar()->width());
    }

    void fillWindowOpensWithTheChipsLastAddressAndKeepsTheOtherEdits() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        TForm4 *fill = w.fillWindow();
        QVERIFY(whileModal(w, &TForm1::ToolFillClick, [&] {
            QVERIFY(fill->isVisible());
            screenshot(fill, "fill");
            QCOMPARE(fill->Edit4->text(), QStringLiteral("FFFFF"));
            fill->Edit1->setText(QStringLiteral("5A"));
            fill->Edit3->setText(QStringLiteral("10"));
            fill->Edit4->setText(QStringLiteral("1F"));
            fill->BitBtn1->click(); // fills, stays open
            QVERIFY(fill->isVisible());
            fill->BitBtn2->click();
        }));
        QCOMPARE(w.buffers().loadedLength, 0x20);
        QCOMPARE(w.FlashEditor->dataSize(), std::size_t{0x20});
        QCOMPARE(w.FlashEditor->bytes()[0x10], 0x5A);
        w.ComboBox3->setCurrentIndex(1);
        w.ComboBox3Change(); // W25Q64: 8 MiB
        QVERIFY(whileModal(w, &TForm1::ToolFillClick, [&] {
            QCOMPARE(fill->Edit4->text(), QStringLiteral("7FFFFF"));
            QCOMPARE(fill->Edit1->text(), QStringLiteral("5A"));
            QCOMPARE(fill->Edit3->text(), QStringLiteral("10"));
            fill->reject();
        }));
        QVERIFY(m_dialogs.errors.empty());
    }

    void secondaryWindowsFollowTheLanguage() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        QCOMPARE(w.fillWindow()->BitBtn2->text(), QStringLiteral("取消"));
        QCOMPARE(w.aboutBox()->ProductName->text(), QStringLiteral("Selvan高速编程器"));
        w.EnlishClick();
        QCOMPARE(w.fillWindow()->BitBtn2->text(), QStringLiteral("Cance"));
        // Controls of the same name in different windows each get their own window's text.
        QCOMPARE(w.BitBtn1->text(), QStringLiteral("Detect"));
        QCOMPARE(w.GroupBox1->title(), QStringLiteral("Chip"));
        QCOMPARE(w.fillWindow()->BitBtn1->text(), QStringLiteral("OK"));
        QCOMPARE(w.fillWindow()->GroupBox1->title(), QStringLiteral("Data"));
        QCOMPARE(w.searchWindow()->BitBtn1->text(), QStringLiteral("Select"));
        QCOMPARE(w.fillWindow()->Label1->text(), QStringLiteral("Start ADDR"));
        QCOMPARE(w.Label1->text(), QStringLiteral("Type"));
        QCOMPARE(w.fillWindow()->windowTitle(), QStringLiteral("Fill"));
        QCOMPARE(w.aboutBox()->ProductName->text(), QStringLiteral("Selvan High Speed Programmer"));
        QVERIFY(w.aboutBox()->Copyright->text().startsWith(QStringLiteral("Copyright")));
        w.fantiClick();
        QCOMPARE(w.aboutBox()->ProductName->text(), QStringLiteral("Selvan高速編程器"));
        QCOMPARE(w.aboutBox()->windowTitle(), QStringLiteral("About"));
    }

    void aboutBoxOpensTheWebAddressAndClosesWithOk() {
        TForm1 w(base(), UsbApi::unavailable(), &m_dialogs);
        w.show();
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        TAboutBox *about = w.aboutBox();
        QVERIFY(whileModal(w, &TForm1::ToolAboutClick, [&] {
            QVERIFY(about->isVisible());
            screenshot(about, "about");
            QCOMPARE(about->size(), QSize(314, 253));
            QCOMPARE(about->Version->text(), QStringLiteral("Version:3.0"));
            QTest::mouseClick(about->ProgramIcon, Qt::LeftButton); // does nothing
            QVERIFY(catcher.opened.isEmpty());
            QTest::mouseClick(about->Comments, Qt::LeftButton);
            about->OKButton->click();
        }));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.opened, QList<QUrl>{TAboutBox::webAddress()});
        QVERIFY(!about->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
