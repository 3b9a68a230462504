// The chip commands, the probe and the connection panel through the real main window,
// against the simulated programmer in-process.
#include "HexView.h"
#include "MessageBoxes.h"
#include "Unit4.h"
#include "WindowFill.h"
#include "WindowFixture.h"
#include "buffers/Checksum.h"
#include "buffers/FileIO.h"
#include "catalogue/Catalogue.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include <map>

using namespace korvat;

class OperationsTest : public QObject, WindowFixture {
    Q_OBJECT

    static constexpr std::uint32_t kSize = 1u << 20;

    ksim::Chip &socket() { return m_sim->chip(); }
    int programmerOpens() const {
        int n = 0;
        for (const auto &e : m_sim->log())
            n += e.kind == ksim::LogEntry::Open;
        return n;
    }
    // Opens a menu of the menu bar the way a click on its title does.
    void openMenu(QMenu *menu) {
        QMenuBar *bar = w().menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(menu->menuAction()).center());
        QTRY_VERIFY(QGuiApplication::focusWindow() == menu->windowHandle());
    }
    // Addresses 0 to FF become 0x00 through the fill window; the loaded length 0x100.
    void fillFirstPageWithZeros() { fillThroughWindow(w(), "00", "0", "FF"); }
    // Runs inside the operation, from the first pending-events pump at which it holds the
    // programmer (the one between the socket check and the bracket passes).
    template <typename Inside> void duringNextOperation(Inside inside) {
        QTimer::singleShot(0, m_w.get(), [this, inside] {
            w().operationRunning() ? inside() : duringNextOperation(inside);
        });
    }

private slots:
    void initTestCase() {
        GridRow row{"SPI", "Winbond", "W25Q80", "0xEF4014", std::to_string(kSize),
                    "256", "0",       "0",      "100",      "0",
                    "0",   "0",       "0"};
        // One the erase cannot reach whole, second in the type list as the programmer's
        // type code 2 finds it, and a chip without an erase.
        GridRow spi95{"EEPROM95", "ST",  "M95080", "0x0", "1024", "32", "3",
                      "0",        "100", "0",      "0",   "0",    "0"};
        GridRow big24{"EEPROM24", "Atmel", "AT24C1024", "0x0", "131072", "256", "1",
                      "0",        "100",   "0",         "0",   "0",      "0"};
        Catalogue cat;
        QVERIFY(cat.save({row, big24, spi95}, (base() + ".Dat").toStdString()).outcome ==
                CatalogueOutcome::Written);
    }

    void init() {
        prepare();
        m_sim->programmer().insert(ksim::Chip(ksim::Family::Spi25, 0xEF4014, kSize));
        m_sim->programmer().erasePolls = 2;
        for (std::uint32_t i = 0; i < kSize; ++i)
            socket().memory()[i] = static_cast<std::uint8_t>(i * 7);
        QVERIFY(startWindow(m_dialogs.get()));
    }

    void cleanup() { finish(); }

    void readFromToolbarAndMenuFillsTheBufferAndTheView() {
        static const QRegularExpression completion(
            QStringLiteral("^\\d{1,2}:\\d\\d:\\d\\d Read Complete!Use time \\d+[.,]\\d{3} s$"));
        trigger("ToolRead");
        QVERIFY2(completion.match(log()[0]).hasMatch(), qPrintable(log()[0]));
        QVERIFY(log()[1].endsWith(QStringLiteral(" Read Flash ...")));
        QCOMPARE(w().Panel1->text(), QStringLiteral("Connected"));
        QCOMPARE(w().buffers().loadedLength, static_cast<std::int32_t>(kSize));
        QCOMPARE(w().FlashEditor->dataSize(), std::size_t{kSize});
        QCOMPARE(w().FlashEditor->bytes()[kSize - 1], socket().memory()[kSize - 1]);
        QVERIFY(!w().Progress->isVisible());
        QVERIFY(errors().empty());
        const int lines = static_cast<int>(log().size());
        trigger("R1");
        QCOMPARE(static_cast<int>(log().size()), lines + 2);
        QVERIFY(completion.match(log()[0]).hasMatch());
    }

    // While a read runs, panel 2 shows its rate and panel 3 its time left, and the bar its
    // percentage; afterwards panel 2 is empty and panel 3 shows the buffer's checksum again.
    void aReadShowsItsRateAndTimeLeftThenTheChecksum() {
        // The window's own host: the test stands in for the checksum's supplier.
        WindowHost &host = const_cast<WindowHost &>(w().host());
        QLabel *rate = w().StatusPanels[2];
        QLabel *time = w().StatusPanels[3];
        QVERIFY(w().Progress->isTextVisible());
        QCOMPARE(w().Progress->format(), QStringLiteral("%p%"));
        QVERIFY(!w().Progress2->isTextVisible());

        // What the panels show at every event pump of the read. Once the bar has moved
        // (the meter's first sample), the clock jumps by more than a measuring interval,
        // so the next bar movement has a rate to show whatever the machine's speed.
        struct Seen {
            QString rate, time, timeTip, percent;
        };
        std::vector<Seen> seen;
        bool slept = false;
        QTimer watch;
        watch.setInterval(0);
        connect(&watch, &QTimer::timeout, m_w.get(), [&] {
            if (!w().operationRunning())
                return;
            seen.push_back({rate->text(), time->text(), time->toolTip(), w().Progress->text()});
            if (!slept && w().Progress->value() > 0) {
                slept = true;
                QThread::msleep(700);
                host.showChecksum(QStringLiteral("Sum 1234h"), QStringLiteral("the sum's tip"));
            }
        });
        watch.start();
        trigger("ToolRead");
        watch.stop();
        QVERIFY(errors().empty());
        QVERIFY(slept);

        static const QRegularExpression rateText(QStringLiteral("^\\d+(\\.\\d)? [KM]iB/s$"));
        static const QRegularExpression timeText(QStringLiteral("^\\d+:\\d\\d$"));
        static const QRegularExpression percent(QStringLiteral("^\\d{1,3}%$"));
        const auto shown =
            std::find_if(seen.begin(), seen.end(), [](const Seen &s) { return !s.rate.isEmpty(); });
        QVERIFY(shown != seen.end());
        QVERIFY2(rateText.match(shown->rate).hasMatch(), qPrintable(shown->rate));
        QVERIFY2(timeText.match(shown->time).hasMatch(), qPrintable(shown->time));
        // The checksum set meanwhile waits behind the time left, its tip too.
        QVERIFY(shown->timeTip.isEmpty());
        QVERIFY2(percent.match(shown->percent).hasMatch(), qPrintable(shown->percent));

        // Afterwards: no rate, and panel 3 shows the checksum last given to the host.
        QCOMPARE(rate->text(), QString());
        QVERIFY(!host.checksumText().isEmpty());
        QCOMPARE(time->text(), host.checksumText());
        QCOMPARE(time->toolTip(), host.checksumToolTip());

        // Directly: a checksum given while the time left shows appears once it is cleared.
        host.setTransferText("1.0 MiB/s", "0:07");
        host.showChecksum(QStringLiteral("Sum 5678h"), QStringLiteral("another tip"));
        QCOMPARE(rate->text(), QStringLiteral("1.0 MiB/s"));
        QCOMPARE(time->text(), QStringLiteral("0:07"));
        QCOMPARE(time->toolTip(), QString());
        host.setTransferText("", "");
        QCOMPARE(rate->text(), QString());
        QCOMPARE(time->text(), QStringLiteral("Sum 5678h"));
        QCOMPARE(time->toolTip(), QStringLiteral("another tip"));
    }

    // A person's round trip: open an image as Intel HEX, erase, write and verify it, read
    // it back and save it as raw, Intel HEX and S-records; each file loads back to the
    // checksum the image had, which the read shows too, and which is the CRC-32 of the
    // saved raw file. The image's erased end, which the read does not count as loaded,
    // counts in the checksum as it does in the file.
    void imageRoundTripKeepsItsChecksum() {
        std::vector<std::uint8_t> image(kSize, 0xFF);
        for (std::uint32_t i = 0; i < kSize - 0x1000; ++i)
            image[i] = static_cast<std::uint8_t>((i * 13) ^ (i >> 11) | 1);
        const QString hex = m_dir.filePath(QStringLiteral("image.hex"));
        QVERIFY(saveFile(hex.toStdString(), image, *m_dialogs, *m_dialogs, 2));
        const QString sum =
            QStringLiteral("CRC32 %1").arg(crc32Of(image), 8, 16, QLatin1Char('0')).toUpper();
        const QString erased =
            QString::fromStdString(checksumText(std::vector<std::uint8_t>(kSize, 0xFF), kSize));

        m_dialogs->files = {hex.toStdString()};
        trigger("ToolOpen");
        QCOMPARE(w().StatusPanels[3]->text(), sum);
        for (const char *command : {"ToolErase", "ToolWrite", "ToolVerify"})
            trigger(command);
        QVERIFY(errors().empty());
        QVERIFY(log()[0].contains(QStringLiteral("Verify Complete!")));
        QVERIFY(std::equal(image.begin(), image.end(), socket().memory().begin()));

        w().selectChip(0, 0, 0);
        QCOMPARE(w().StatusPanels[3]->text(), erased);
        trigger("ToolRead");
        QCOMPARE(w().buffers().loadedLength, static_cast<std::int32_t>(kSize - 0x1000));
        QCOMPARE(w().StatusPanels[3]->text(), sum);
        QCOMPARE(w().StatusPanels[2]->text(), QString());

        for (const char *name : {"back.bin", "back.hex", "back.s19"}) {
            m_dialogs->files = {m_dir.filePath(QString::fromLatin1(name)).toStdString()};
            trigger("ToolSave");
        }
        QFile saved(m_dir.filePath(QStringLiteral("back.bin")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray raw = saved.readAll();
        QCOMPARE(QStringLiteral("CRC32 %1")
                     .arg(crc32Of({reinterpret_cast<const std::uint8_t *>(raw.data()),
                                   static_cast<std::size_t>(raw.size())}),
                          8, 16, QLatin1Char('0'))
                     .toUpper(),
                 sum);
        for (const char *name : {"back.bin", "back.hex", "back.s19"}) {
            w().selectChip(0, 0, 0);
            m_dialogs->files = {m_dir.filePath(QString::fromLatin1(name)).toStdString()};
            trigger("ToolOpen");
            QVERIFY2(w().StatusPanels[3]->text() == sum, name);
        }
        QVERIFY(errors().empty());
        QVERIFY(m_dialogs->questions.empty());
    }

    void logTimesLeaveOutOnlyTheTimeZone() {
        QCOMPARE(WindowHost::withoutTimeZone("HH:mm:ss t"), QStringLiteral("HH:mm:ss"));
        QCOMPARE(WindowHost::withoutTimeZone("h:mm:ss AP t"), QStringLiteral("h:mm:ss AP"));
        QCOMPARE(WindowHost::withoutTimeZone("H 'h' mm 'et' ss tttt"),
                 QStringLiteral("H 'h' mm 'et' ss"));
    }

    void writePullsTheViewsEditsFirst() {
        socket().eraseAll();
        w().FlashEditor->setFocus();
        QTest::keyClicks(w().FlashEditor, "a5");
        QVERIFY(w().FlashEditor->modified());
        // Nothing loaded yet: the figure of an erased image.
        QCOMPARE(w().StatusPanels[3]->text(), QString::fromStdString(checksumText(
                                                  std::vector<std::uint8_t>(kSize, 0xFF), kSize)));
        trigger("W1");
        QVERIFY(errors().empty());
        QVERIFY(log()[0].contains(QStringLiteral("Write Complete!")));
        // A write alone over a 25-series chip says it did not erase, and what proves it.
        QVERIFY(log()[0].endsWith(QStringLiteral(" s A write does not erase: bits the chip "
                                                 "already holds as 0 stay 0. Verify or Auto "
                                                 "proves the result.")));
        QCOMPARE(socket().memory()[0], std::uint8_t{0xA5});
        QCOMPARE(socket().memory()[1], std::uint8_t{0xFF});
        QVERIFY(!w().FlashEditor->modified());
        // The pulled edits are the loaded bytes now: the whole view, and the checksum with it.
        std::vector<std::uint8_t> pulled(kSize, 0xFF);
        pulled[0] = 0xA5;
        QCOMPARE(w().StatusPanels[3]->text(), QString::fromStdString(checksumText(pulled, kSize)));
    }

    // The keys the menus show work with the focus in the hex view, after an edit there.
    void theMenusKeysWorkFromTheHexView() {
        QStringList shown;
        for (const char *name :
             {"O2", "S1", "MenuDetect", "R1", "E1", "W1", "V1", "N7", "A1", "MenuBulk"})
            shown << action(name)->shortcut().toString();
        QCOMPARE(shown.join(' '),
                 QStringLiteral("Ctrl+O Ctrl+S F2 F5 F6 F7 F8 Shift+F8 F9 Shift+F9"));
        w().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        socket().eraseAll();
        w().FlashEditor->setFocus();
        QTest::keyClicks(w().FlashEditor, "a5");
        QTest::keyClick(w().FlashEditor, Qt::Key_F7);
        QCOMPARE(socket().memory()[0], std::uint8_t{0xA5});
        QTest::keyClick(w().FlashEditor, Qt::Key_F8);
        QVERIFY(log()[0].contains(QStringLiteral("Verify Complete!")));
        QTest::keyClick(w().FlashEditor, Qt::Key_F2);
        QCOMPARE(m_dialogs->information.size(), std::size_t{1}); // the chip detected
    }

    void verifyAndBlankCheckReportWhatDiffers() {
        fillFirstPageWithZeros();
        socket().memory()[0x42] = 0x99;
        std::fill_n(socket().memory().begin(), 0x42, 0x00);
        const int lines = static_cast<int>(log().size());
        trigger("ToolVerify");
        QCOMPARE(errors().size(), std::size_t{1});
        QCOMPARE(errors()[0], std::string("Flash check error address:42h"));
        // The start line, what differs, and the outcome in the same words as the box.
        QCOMPARE(static_cast<int>(log().size()), lines + 3);
        QVERIFY(log()[0].endsWith(QStringLiteral(" Flash check error address:42h")));
        QVERIFY(log()[1].endsWith(QStringLiteral(
            " At address 42h expected 00h, read 99h; 190 of the 256 bytes compared in this "
            "transfer differ.")));
        QVERIFY(log()[2].endsWith(QStringLiteral(" Verify Flash ...")));
        // The bars go with the operation, also when it fails.
        QVERIFY(!w().Progress->isVisible());
        QVERIFY(!w().Progress2->isVisible());
        trigger("ToolBank");
        QCOMPARE(errors().size(), std::size_t{2});
        QCOMPARE(errors()[1], std::string(text(txtNotBlank, 2)));
        QVERIFY(log()[0].endsWith(QStringLiteral(" The chip is not empty.")));
        QVERIFY(!w().Progress->isVisible());
        QVERIFY(!w().Progress2->isVisible());
    }

    // Erase says what it did: nothing on a chip without an erase (Auto then writes it), and
    // it refuses a chip it cannot erase whole, in Auto too, and batch mode does not start.
    void eraseSaysWhatItErased() {
        m_sim->programmer().insert(ksim::Chip(ksim::Family::Spi95, 0, 1024));
        socket().memory().assign(1024, 0x77);
        w().selectChip(2, 0, 0);
        fillFirstPageWithZeros();
        trigger("ToolErase");
        QVERIFY(errors().empty());
        QVERIFY2(log()[0].endsWith(QStringLiteral(" The programmer has no erase for this chip: "
                                                  "nothing was erased. The chip's bytes are "
                                                  "replaced when they are written.")),
                 qPrintable(log()[0]));
        QVERIFY(log()[1].endsWith(QStringLiteral(" Erase Flash ...")));
        QVERIFY(!w().RichEdit1->toPlainText().contains(QStringLiteral("Erase Complete!")));
        QCOMPARE(socket().memory()[0], std::uint8_t{0x77});
        trigger("ToolAuto");
        QVERIFY(errors().empty());
        QVERIFY(log()[0].contains(QStringLiteral("AUTO Complete!")));
        QCOMPARE(socket().memory()[0], std::uint8_t{0x00});
        QCOMPARE(socket().memory()[0x100], std::uint8_t{0x77});

        m_sim->programmer().insert(ksim::Chip(ksim::Family::I2c24, 0, 131072));
        socket().memory()[0x10000] = 0x42;
        w().selectChip(1, 0, 0);
        fillFirstPageWithZeros();
        const int transfers = m_sim->transferCount();
        const QString top = w().RichEdit1->toPlainText();
        trigger("ToolErase");
        trigger("ToolAuto");
        QTimer release; // would end a batch run that started
        release.setSingleShot(true);
        connect(&release, &QTimer::timeout, m_w.get(), [&] { trigger("ToolBulk"); });
        release.start(500);
        trigger("ToolBulk");
        release.stop();
        const std::string refused = "The whole chip cannot be erased: the programmer's erase of a "
                                    "24-series chip reaches only the first 64 KiB, and this chip "
                                    "holds 131072 bytes. The erase is refused; nothing was erased.";
        QCOMPARE(errors(), std::vector<std::string>(3, refused));
        QVERIFY(!w().findChild<QAction *>(QStringLiteral("ToolBulk"))->isChecked());
        QCOMPARE(m_sim->transferCount(), transfers);
        QCOMPARE(w().RichEdit1->toPlainText(), top);
        QCOMPARE(socket().memory()[0x10000], std::uint8_t{0x42});
        // Without the erase the pass goes ahead.
        w().CheckBox1->click();
        QVERIFY(!w().CheckBox1->isChecked());
        const int lines = static_cast<int>(log().size());
        trigger("ToolAuto");
        QCOMPARE(errors().size(), std::size_t{3});
        QVERIFY(static_cast<int>(log().size()) > lines);
        QVERIFY(log()[0].contains(QStringLiteral("AUTO Complete!")));
        QCOMPARE(socket().memory()[0x10], std::uint8_t{0x00});
    }

    void withoutTheProgrammerACommandSaysNotConnected() {
        m_sim->unplug();
        const QString panel = w().Panel1->text();
        const QString top = w().RichEdit1->toPlainText();
        trigger("ToolErase");
        QCOMPARE(errors(), std::vector<std::string>{"Not connected"});
        QCOMPARE(w().RichEdit1->toPlainText(), top);
        QCOMPARE(w().Panel1->text(), panel);
    }

    // Esc ends a read at its next transfer, the buffer as it was; the Stop button ends a
    // write, and the chip holds the image exactly up to where its line says; Esc during
    // the socket check sends nothing more; closing meanwhile asks, and Yes stops and closes.
    void stopEndsTheCommandWhereItsLineSays() {
        fillFirstPageWithZeros();
        w().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        duringNextOperation([&] { QTest::keyClick(m_w.get(), Qt::Key_Escape); });
        trigger("ToolRead");
        QVERIFY(log()[0].endsWith(
            QStringLiteral(" The read stopped at address 100h: the buffer was left as it was.")));
        QCOMPARE(w().buffers().loadedLength, 0x100);
        QCOMPARE(w().Panel1->text(), QStringLiteral("Connected"));

        socket().eraseAll();
        fillThroughWindow(w(), "00", "0", "FFFFF");
        duringNextOperation([&] {
            QTest::mouseClick(w().ToolBar1->widgetForAction(action("ToolStop")), Qt::LeftButton);
        });
        trigger("ToolWrite");
        QVERIFY(log()[0].endsWith(
            QStringLiteral(" The write stopped at address 100h: the chip is now partly written.")));
        QCOMPARE(std::count(socket().memory().begin(), socket().memory().end(), 0), 0x100);

        const int transfers = m_sim->transferCount();
        QTimer::singleShot(0, m_w.get(), [&] { QTest::keyClick(m_w.get(), Qt::Key_Escape); });
        trigger("ToolErase");
        QCOMPARE(m_sim->transferCount(), transfers + 3); // the socket check alone
        QVERIFY(log()[0].endsWith(
            QStringLiteral(" Stopped before the operation began: the chip was not changed.")));

        m_dialogs->answers = {true};
        duringNextOperation([&] { QVERIFY(!w().close()); });
        trigger("ToolVerify");
        QVERIFY(log()[0].contains(QStringLiteral(" The verify stopped at address ")));
        QTRY_VERIFY(!w().isVisible());
        QVERIFY(errors().empty());
    }

    void aFailedTransferEndsTheReadWithoutACompletionLine() {
        m_sim->faults.unplugAtTransfer = m_sim->transferCount() + 40;
        trigger("ToolRead");
        QCOMPARE(errors().size(), std::size_t{1});
        QVERIFY(errors()[0].starts_with("Transfer to the programmer failed at address:"));
        QVERIFY(!log()[0].contains(QStringLiteral("Complete!")));
        QCOMPARE(w().buffers().loadedLength, 0);
        QVERIFY(action("ToolRead")->isEnabled());
    }

    // A read that fails half-way must not leave the new chip's first bytes hidden in the
    // buffer, where a Write to the next chip would program them and Verify confirm them.
    void aFailedReadLeavesBufferViewAndLengthAsTheyWere() {
        fillFirstPageWithZeros();
        QCOMPARE(w().buffers().loadedLength, 0x100);
        // The socket check 1-3, setup 4-5, address 6-7, the first transfer 8; the second
        // times out.
        m_sim->faults.timeoutAtTransfer = m_sim->transferCount() + 9;
        trigger("ToolRead");
        QCOMPARE(errors().size(), std::size_t{1});
        QCOMPARE(w().buffers().loadedLength, 0x100);
        QCOMPARE(w().FlashEditor->dataSize(), std::size_t{0x100});
        for (std::size_t i = 0; i < 0x200; ++i)
            QCOMPARE(w().buffers().flash()[i], std::uint8_t(i < 0x100 ? 0x00 : 0xFF));

        // The next chip gets what the window shows, and Verify agrees.
        socket().memory().assign(kSize, 0xFF);
        trigger("ToolWrite");
        trigger("ToolVerify");
        QCOMPARE(errors().size(), std::size_t{1});
        QVERIFY(log()[0].contains(QStringLiteral("Verify Complete!")));
        for (std::size_t i = 0; i < 0x100; ++i)
            QCOMPARE(socket().memory()[i], std::uint8_t{0x00});
    }

    // Every command first asks which chip is in the socket. Another chip is a question
    // whose answer is No unless the person says otherwise; an empty socket is refused.
    void commandsReachOnlyTheChipSelected() {
        fillFirstPageWithZeros();
        const std::vector<std::uint8_t> held = socket().memory();
        m_sim->programmer().insert(ksim::Chip(ksim::Family::Spi25, 0xC84014, kSize));
        socket().memory() = held;
        const QString wrong = QStringLiteral(
            "The chip in the socket is not the chip selected: it answers ID C84014 (no catalogue "
            "chip has it); the chip selected is W25Q80, ID EF4014.");
        trigger("ToolWrite");
        QCOMPARE(m_dialogs->questions,
                 std::vector<std::string>{(wrong + "\n\nGo on with this chip anyway?").toStdString()});
        QCOMPARE(m_dialogs->defaultNoQuestions, 1);
        QVERIFY(socket().memory() == held);
        QVERIFY(!log()[0].contains(QStringLiteral("Complete!")));
        trigger("ToolAuto");
        QCOMPARE(m_dialogs->questions.size(), std::size_t{2});
        QVERIFY(socket().memory() == held);
        // Yes: a compatible part; the log says which chip it was.
        m_dialogs->answers.push_back(true);
        trigger("ToolWrite");
        QVERIFY(log()[0].contains(QStringLiteral("Write Complete!")));
        QVERIFY(log()[2].endsWith(wrong));
        QCOMPARE(socket().memory()[0x10], std::uint8_t{0x00});
        QVERIFY(errors().empty());

        // An empty socket: no question, no completion, the buffer as it was.
        m_sim->programmer().insert(ksim::Chip());
        const int lines = static_cast<int>(log().size());
        for (const char *command : {"ToolRead", "ToolErase", "ToolBank"})
            trigger(command);
        QCOMPARE(errors(),
                 std::vector<std::string>(3, "No chips detected, please put the chip to try again!"));
        QCOMPARE(static_cast<int>(log().size()), lines);
        QCOMPARE(w().buffers().loadedLength, 0x100);
        QCOMPARE(w().buffers().flash()[0x100], std::uint8_t{0xFF});
        QCOMPARE(m_dialogs->questions.size(), std::size_t{3});
    }

    // A saved selection that no longer fits the catalogue chooses no chip: the commands
    // are refused instead of running on whatever record the current slot holds.
    void withoutAChosenChipTheCommandsAreRefused() {
        m_w.reset();
        QSettings(base() + ".ini", QSettings::IniFormat).setValue("CHIP/INDEX2", 5);
        QVERIFY(startWindow(m_dialogs.get()));
        QCOMPARE(w().chosenChip(), -1);
        QCOMPARE(w().ComboBox3->currentIndex(), -1);
        const int transfers = m_sim->transferCount();
        for (const char *command : {"ToolErase", "ToolBank", "ToolRead", "ToolAuto"})
            trigger(command);
        QCOMPARE(errors(), std::vector<std::string>(
                               4, "No chip is selected. Choose the chip in the lists first."));
        QCOMPARE(m_sim->transferCount(), transfers);
        QCOMPARE(socket().memory()[0], std::uint8_t{0});
    }

    // Auto with a range past the 1 MiB chip would wrap round and write its start.
    void aRangePastTheChipIsRefused() {
        fillFirstPageWithZeros();
        QTest::mouseClick(w().CheckBox5, Qt::LeftButton);
        w().Edit3->selectAll();
        QTest::keyClicks(w().Edit3, "FFF00");
        w().Edit4->selectAll();
        QTest::keyClicks(w().Edit4, "1000FF");
        const int transfers = m_sim->transferCount();
        trigger("ToolAuto");
        QCOMPARE(errors(), std::vector<std::string>{"The address range reaches past the chip: its "
                                                    "last address is FFFFFh."});
        QCOMPARE(m_sim->transferCount(), transfers);
        QCOMPARE(socket().memory()[0], std::uint8_t{0});
    }

    // A range inside one page: the page is written whole, but with the chip's own bytes
    // outside the range, so only the range takes the buffer's zeros; Verify looks at the
    // range alone.
    void aWriteOfARangeChangesOnlyTheRange() {
        fillFirstPageWithZeros();
        QTest::mouseClick(w().CheckBox5, Qt::LeftButton);
        w().Edit3->selectAll();
        QTest::keyClicks(w().Edit3, "10");
        w().Edit4->selectAll();
        QTest::keyClicks(w().Edit4, "1F");
        trigger("ToolWrite");
        trigger("ToolVerify");
        QCOMPARE(errors(), std::vector<std::string>{});
        for (std::uint32_t i = 0; i < 0x100; ++i)
            QCOMPARE(socket().memory()[i],
                     i >= 0x10 && i <= 0x1F ? std::uint8_t{0} : static_cast<std::uint8_t>(i * 7));
    }

    void aProgrammerUnpluggedDuringAnOperationTurnsThePanelRed() {
        duringNextOperation([&] {
            m_sim->unplug();
            w().WMDeviceChange(); // put off while the read holds the programmer
            QCOMPARE(w().Panel1->text(), QStringLiteral("Read Flash ..."));
        });
        trigger("ToolRead");
        QCOMPARE(errors().size(), std::size_t{1});
        QCOMPARE(w().Panel1->text(), QStringLiteral("Not connected"));
        QVERIFY(w().Panel1->isRed());
    }

    void aLostSetupBlockHasItsOwnMessage() {
        // The socket check's three transfers, then the setup block and its reply. The check
        // found the programmer, so the panel reads "Connected"; the lost block changes it not.
        m_sim->faults.timeoutAtTransfer = m_sim->transferCount() + 5;
        trigger("ToolErase");
        QCOMPARE(errors(),
                 std::vector<std::string>{"The chip parameters did not reach the programmer."});
        QVERIFY(log()[0].endsWith(
            QStringLiteral(" The chip parameters did not reach the programmer.")));
        QCOMPARE(w().Panel1->text(), QStringLiteral("Connected"));
        QCOMPARE(socket().memory()[0], std::uint8_t{0}); // nothing was erased
    }

    void nothingElseStartsWhileAnOperationRuns() {
        bool inside = false;
        duringNextOperation([&] {
            inside = true;
            QVERIFY(w().operationRunning());
            for (const char *name : {"ToolErase", "R1", "ToolFill", "Fill", "ToolWrite"})
                QVERIFY2(!w().findChild<QAction *>(name)->isEnabled(), name);
            QVERIFY(action("ToolAbout")->isEnabled());
            QVERIFY(!w().ComboBox1->isEnabled());
            const int transfers = m_sim->transferCount();
            w().ToolEraseClick(); // a queued call: ignored, nothing sent
            bool fillOpened = false;
            QTimer::singleShot(0, m_w.get(), [&] {
                fillOpened = w().fillWindow()->isVisible();
                w().fillWindow()->reject();
            });
            w().ToolFillClick(); // the fill would change the buffer the operation reads
            QVERIFY(!fillOpened);
            w().WMDeviceChange(); // a device change: the probe waits for the end
            QCOMPARE(m_sim->transferCount(), transfers);
            QVERIFY(!w().close()); // the window stays: it asks, and No goes on
            QCOMPARE(m_dialogs->questions.size(), std::size_t{1});
        });
        w().RichEdit1->clear();
        trigger("ToolRead");
        QVERIFY(inside);
        QVERIFY(errors().empty());
        QVERIFY(log()[1].contains(QStringLiteral("Read Complete!")));
        QVERIFY(log()[0].contains(QString::fromUtf8(text(txtProgrammerDetected, 2).data())));
        QVERIFY(action("ToolErase")->isEnabled());
        QVERIFY(w().ComboBox1->isEnabled());
        QVERIFY(action("ToolAuto")->isEnabled());
        QVERIFY(!action("ToolDevice")->isEnabled()); // hidden unless the chip editor is allowed
    }

    // The commands held while an operation runs are those marked so where they are
    // made: every toolbar button but About, the file, buffer and operation menus but
    // Exit, and the chip editor and hardware commands of the menu bar. The others (Exit,
    // the languages, About) stay as they were, and all are back once it ends.
    void theCommandsMarkedHeldAreHeldWhileAnOperationRuns() {
        QStringList marked;
        for (const QAction *a : w().operationCommands())
            marked << a->objectName();
        marked.sort();
        QCOMPARE(marked,
                 (QStringList{"A1",         "E1",        "Fill",     "MenuBulk", "MenuDetect",
                              "N3",         "N4",        "N7",       "O2",       "R1",
                              "S1",         "ToolAuto",  "ToolBank", "ToolBulk", "ToolDevice",
                              "ToolErase",  "ToolFill",  "ToolOpen", "ToolRead", "ToolSave",
                              "ToolVerify", "ToolWrite", "V1",       "W1"}));
        std::map<QAction *, bool> before;
        for (QAction *a : w().findChildren<QAction *>())
            if (!a->objectName().isEmpty())
                before[a] = a->isEnabled();
        bool inside = false;
        duringNextOperation([&] {
            inside = true;
            for (auto [a, enabled] : before) {
                const bool held = marked.contains(a->objectName());
                const bool stop = a == action("ToolStop"); // comes only while one runs
                QVERIFY2(a->isEnabled() == (stop || (!held && enabled)),
                         qPrintable(a->objectName()));
            }
        });
        trigger("ToolRead");
        QVERIFY(inside);
        for (auto [a, enabled] : before)
            QVERIFY2(a->isEnabled() == enabled, qPrintable(a->objectName()));
        QVERIFY(before.at(action("ToolAbout")));
        QVERIFY(before.at(action("Q1")));
    }

    void closingAModalWindowProbesAgain() {
        w().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        w().RichEdit1->clear();
        QTimer::singleShot(0, w().fillWindow(), &QDialog::reject);
        w().ToolFillClick();
        QTRY_VERIFY(w().RichEdit1->toPlainText().contains(
            QString::fromUtf8(text(txtProgrammerDetected, 2).data())));
    }

    void closingAMessageBoxProbesAgain() {
        w().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        QTest::mouseClick(w().FlashEditor->viewport(), Qt::LeftButton);
        w().RichEdit1->clear();
        // The window's own message boxes, closed with the keyboard.
        MessageBoxes boxes(m_w.get());
        QTimer::singleShot(0, m_w.get(), [&] {
            QTRY_VERIFY(qobject_cast<QMessageBox *>(QApplication::activeModalWidget()));
            QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return);
        });
        boxes.showError("x");
        QTRY_VERIFY(w().RichEdit1->toPlainText().contains(
            QString::fromUtf8(text(txtProgrammerDetected, 2).data())));
    }

    // Menus and chip lists are popups, not windows of the application: the
    // focus coming back from them is no reason to look for the programmer again.
    void popupsDoNotProbe() {
        w().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        QTest::mouseClick(w().FlashEditor->viewport(), Qt::LeftButton); // focus in the view
        w().RichEdit1->clear();
        const int opens = programmerOpens();

        QMenu *file = w().findChild<QMenu *>(QStringLiteral("O1"));
        openMenu(file);
        QTest::keyClick(file, Qt::Key_Escape);
        QTRY_VERIFY(!file->isVisible());
        QTRY_VERIFY(QGuiApplication::focusWindow() == w().windowHandle());

        QTest::mouseClick(w().ComboBox1, Qt::LeftButton);
        QWidget *list = w().ComboBox1->view()->window();
        QTRY_VERIFY(QGuiApplication::focusWindow() == list->windowHandle());
        QTest::keyClick(list, Qt::Key_Escape);
        QTRY_VERIFY(!list->isVisible());
        QTRY_VERIFY(QGuiApplication::focusWindow() == w().windowHandle());
        QTest::qWait(50);

        QCOMPARE(w().RichEdit1->toPlainText(), QString());
        QCOMPARE(programmerOpens(), opens);
    }

    void languageChosenFromTheMenuLeavesTheLogEmpty() {
        w().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        QTest::mouseClick(w().FlashEditor->viewport(), Qt::LeftButton);
        w().RichEdit1->setPlainText(QStringLiteral("a line in the old language"));
        QMenu *language = w().findChild<QMenu *>(QStringLiteral("L1"));
        openMenu(language);
        QAction *english = w().findChild<QAction *>(QStringLiteral("Enlish"));
        while (language->activeAction() != english)
            QTest::keyClick(language, Qt::Key_Down);
        QTest::keyClick(language, Qt::Key_Return);
        QTRY_VERIFY(!language->isVisible());
        QTRY_VERIFY(QGuiApplication::focusWindow() == w().windowHandle());
        QTest::qWait(50);
        QVERIFY(english->isChecked());
        QCOMPARE(w().RichEdit1->toPlainText(), QString());
    }

    void panelFollowsTheLanguageAndIsRedOnlyWhenNotConnected() {
        m_sim->unplug();
        w().WMDeviceChange();
        QCOMPARE(w().Panel1->text(), QStringLiteral("Not connected"));
        QVERIFY(w().Panel1->isRed());
        trigger("China"); // the same state, now in Chinese, without a new probe
        QCOMPARE(w().Panel1->text(), QStringLiteral("编程器未接入"));
        QVERIFY(w().Panel1->isRed());
        m_sim->plug();
        w().WMDeviceChange();
        QCOMPARE(w().Panel1->text(), QStringLiteral("已连接"));
        QVERIFY(!w().Panel1->isRed());
        trigger("Enlish");
        QCOMPARE(w().Panel1->text(), QStringLiteral("Connected"));
        QVERIFY(!w().Panel1->isRed());
    }

    void detectionLineIsSuppressedOnlyByAnEqualTopLine() {
        while (QTime::currentTime().msec() > 500) // all probes within one second
            QTest::qWait(20);
        w().RichEdit1->clear();
        w().WMDeviceChange();
        w().WMDeviceChange();
        QCOMPARE(log().size(), 1);
        trigger("ToolErase"); // two lines on top of it
        w().WMDeviceChange();
        const QStringList lines = log();
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], lines[3]);
    }
};

QTEST_MAIN(OperationsTest)
#include "OperationsTest.moc"
