// Hardware information and the firmware upgrade through the real main window, against
// the simulated programmer and its boot loader.
#include "Modal.h"
#include "Unit6.h"
#include "WindowFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

using namespace korvat;

class HardwareWindowTest : public QObject, WindowFixture {
    Q_OBJECT

    TForm6 &info() { return *m_w->hardwareWindow(); }

    // A new window over the programmer and its boot loader, its log cleared.
    void start(Dialogs *dialogs) {
        QVERIFY(startWindow(dialogs, true));
        w().RichEdit1->clear();
    }
    QString firmwareFile(int bytes) {
        const QString path = m_dir.path() + QStringLiteral("/new.fwpk");
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(QByteArray(bytes, '\x5A'));
        return path;
    }
    // Opens the window from the menu and acts inside it; the command goes on after it.
    template <typename Inside> void hardware(Inside inside) {
        bool ran = false;
        QTimer::singleShot(0, &w(), [&] {
            ran = true;
            inside(info());
            if (info().isVisible())
                info().BitBtn2Click();
        });
        action("N4")->trigger();
        QVERIFY(ran);
    }

private slots:
    void init() {
        prepare();
        m_sim->programmer().hardwareVersion = "1.0";
        m_sim->programmer().firmwareVersion = "1.02";
        m_sim->programmer().serialNumber = "SN0001";
        m_sim->bootLoader().upgradedFirmwareVersion = "1.10";
        start(m_dialogs.get());
    }
    void cleanup() { finish(); }

    void showsTheProgrammersVersionsAndSerial() {
        hardware([&](TForm6 &f) {
            QCOMPARE(f.windowTitle(), QStringLiteral("Hardware information"));
            QCOMPARE(f.Edit1->text(), QStringLiteral("1.0"));
            QCOMPARE(f.Edit2->text(), QStringLiteral("1.02"));
            QCOMPARE(f.Edit3->text(), QStringLiteral("SN0001"));
            QVERIFY(!f.Edit1->isEnabled());
            QCOMPARE(f.BitBtn1->text(), QStringLiteral("Upgrade firmware"));
            QCOMPARE(f.BitBtn1->pos(), QPoint(24, 144));
            QCOMPARE(f.Label1->pos(), QPoint(24, 24));
            QCOMPARE(f.Label5->pos(), QPoint(24, 96));
            QCOMPARE(f.Edit3->y(), 88);
            QCOMPARE(f.height(), 201);
            QVERIFY(f.width() >= 281);
            screenshot(&f, "hardware");
        });
        QVERIFY(m_dialogs->errors.empty());
        QCOMPARE(m_sim->bootLoader().state(), ksim::BootLoader::State::Off);
    }

    // The designed layout and texts, in Chinese; with no programmer they stay.
    void withoutAProgrammerTheTextsStay() {
        w().ChinaClick();
        m_sim->unplug();
        hardware([&](TForm6 &f) { QCOMPARE(f.Edit3->text(), QStringLiteral("A0123456789")); });
        m_sim->plug();
        hardware([&](TForm6 &f) { QCOMPARE(f.Edit3->text(), QStringLiteral("SN0001")); });
        m_sim->unplug();
        hardware([&](TForm6 &f) {
            QCOMPARE(f.Edit1->text(), QStringLiteral("1.0"));
            QCOMPARE(f.Edit2->text(), QStringLiteral("1.02"));
            QCOMPARE(f.Edit3->text(), QStringLiteral("SN0001"));
        });
        start(m_dialogs.get()); // a window that has never reached the programmer
        w().ChinaClick();
        hardware([&](TForm6 &f) {
            QCOMPARE(f.size(), QSize(281, 201));
            QCOMPARE(f.windowTitle(), QStringLiteral("硬件信息"));
            QCOMPARE(f.Label5->text(), QStringLiteral("系列号：  "));
            QCOMPARE(f.Edit1->pos(), QPoint(112, 24));
            QCOMPARE(f.Edit1->size(), QSize(121, 21));
            QCOMPARE(f.BitBtn2->geometry(), QRect(160, 144, 89, 25));
            QCOMPARE(f.Edit1->text(), QStringLiteral("V1.0"));
            QCOMPARE(f.Edit2->text(), QStringLiteral("V1.00"));
            QCOMPARE(f.Edit3->text(), QStringLiteral("A0123456789"));
        });
        QVERIFY(m_dialogs->errors.empty());
        QCOMPARE(action("N4")->text(), QStringLiteral("硬件信息(&D)"));
    }

    // "Upgrade firmware" with a real file dialog and a real question, No by default: the
    // upgrade runs with the commands held and the window painting, ends with a log line
    // once the programmer is back, and the programmer then reports its new firmware.
    void upgradeRunsToALogLine() {
        const QString file = firmwareFile(100000);
        start(nullptr); // real dialogs
        m_sim->bootLoader().appearAfterSearches = 4;
        // Looks at the window whenever it handles events: while the boot loader is
        // awaited and while the data goes, it paints and the commands are held.
        int waiting = 0, sending = 0, heldThroughout = 0;
        QString question;
        bool defaultNo = false;
        QStringList waitSays; // the panel, the upper bar and the time left while waiting
        QTimer look;
        connect(&look, &QTimer::timeout, [&] {
            const auto &bl = m_sim->bootLoader();
            const bool inWait = bl.state() == ksim::BootLoader::State::Waiting;
            const bool inData = bl.dataReports() > 0 && !bl.leaveReceived();
            if (!inWait && !inData)
                return;
            if (inWait)
                waitSays = {w().Panel1->text(), w().Progress->text(), w().StatusPanels[3]->text()};
            if (inWait && waiting == 2)
                screenshot(&w(), "upgrade-wait");
            (inWait ? waiting : sending) += 1;
            heldThroughout += w().operationRunning() && !action("ToolRead")->isEnabled() &&
                              !action("N4")->isEnabled() && !w().GroupBox1->isEnabled();
        });
        look.start(0);
        hardware([&](TForm6 &f) {
            whenModal<QFileDialog>([&](QFileDialog *d) {
                QCOMPARE(d->nameFilters().size(), 1); // the one *.fwpk entry
                QVERIFY(d->nameFilters()[0].startsWith(QStringLiteral("*.fwpk")));
                whenModal<QMessageBox>([&](QMessageBox *box) {
                    question = box->text();
                    defaultNo = box->defaultButton() == box->button(QMessageBox::No);
                    QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
                });
                typeFileName(d, file);
            });
            QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
            QVERIFY(!f.isVisible());
            QCOMPARE(QString::fromStdString(f.chosenFile()), file);
        });
        look.stop();
        QVERIFY(defaultNo);
        QVERIFY(question.contains(file + QStringLiteral(" (100000 bytes)")));
        QVERIFY(question.contains(QStringLiteral("Firmware now: 1.02")));
        QVERIFY(question.contains(QStringLiteral("Do not unplug the programmer")));
        QVERIFY(waiting > 0);
        QVERIFY(sending > 0);
        // The panel says where the programmer is, the bar what is awaited, and the time
        // left of the 500 tries of at least 0.1 s shows beside it.
        QCOMPARE(waitSays.mid(0, 2),
                 (QStringList{"In boot loader", "Waiting for the programmer's boot loader..."}));
        QVERIFY(QTime::fromString(waitSays[2], QStringLiteral("m:ss")) >= QTime(0, 0, 50));
        QCOMPARE(heldThroughout, waiting + sending);
        QVERIFY(!w().operationRunning());
        QVERIFY(action("ToolRead")->isEnabled());
        QCOMPARE(m_sim->bootLoader().dataReports(), 1613);
        QVERIFY(w().RichEdit1->toPlainText().contains(QStringLiteral(
            "Firmware upgrade complete: 100000 bytes sent to address 0x08003000; the "
            "programmer is back with firmware 1.10.")));
        // The programmer is looked for again at once: back, with its new firmware.
        QCOMPARE(w().Panel1->text(), QStringLiteral("Connected"));
        QCOMPARE(w().Progress->value(), 0);
        QVERIFY(!w().Progress->isVisible()); // the bars go with the upgrade
        QVERIFY(!w().Progress2->isVisible());
        hardware([&](TForm6 &f) {
            QCOMPARE(f.Edit2->text(), QStringLiteral("1.10"));
            // "Close" after an earlier "Upgrade firmware": no second upgrade.
            QTest::mouseClick(f.BitBtn2, Qt::LeftButton);
        });
        QCOMPARE(m_sim->bootLoader().dataReports(), 1613);
        QCOMPARE(m_sim->bootLoader().state(), ksim::BootLoader::State::Off);
    }

    // A cancelled file dialog leaves the window open; its close box counts as "Close".
    void cancelledDialogAndCloseBox() {
        const QString file = firmwareFile(0x3000 + 100);
        m_dialogs->answers = {true};
        hardware([&](TForm6 &f) {
            m_dialogs->files = {file.toStdString()};
            QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        });
        QCOMPARE(m_sim->bootLoader().dataReports(), 200);
        hardware([&](TForm6 &f) {
            m_dialogs->files = {std::nullopt};
            QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
            QVERIFY(f.isVisible());
            QCOMPARE(QString::fromStdString(f.chosenFile()), file); // unchanged
            f.close();                                              // the title bar's close box
        });
        QVERIFY(info().chosenFile().empty());
        QCOMPARE(m_sim->bootLoader().dataReports(), 200);
    }

    // The firmware dialog starts where the last file was saved, and Open then starts
    // where the firmware was.
    void theFirmwareDialogStartsInTheFolderUsedLast() {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("images")));
        const std::string images = (m_dir.path() + QStringLiteral("/images")).toStdString();
        m_dialogs->files = {images + "/out.bin"};
        trigger("S1");
        const QString file = firmwareFile(0x3000 + 100);
        m_dialogs->answers = {false}; // not sent after all
        hardware([&](TForm6 &f) {
            m_dialogs->files = {file.toStdString()};
            QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        });
        QCOMPARE(m_dialogs->choices.at(1).folder, images);
        trigger("O2");
        QCOMPARE(m_dialogs->choices.at(2).folder, m_dir.path().toStdString());
    }

    // A failure says which step and how much was sent, in a box and the log.
    void aFailedUpgradeIsShown() {
        const QString file = firmwareFile(0x3000 + 1000);
        m_dialogs->answers = {true};
        m_sim->bootLoader().failWriteAt = 5;
        hardware([&](TForm6 &) {
            m_dialogs->files = {file.toStdString()};
            QTest::mouseClick(info().BitBtn1, Qt::LeftButton);
        });
        const std::string message =
            "Firmware upgrade failed: the BL_CMD_DATA report could not be written; 62 bytes "
            "were sent.";
        QCOMPARE(m_dialogs->errors, std::vector<std::string>{message});
        QVERIFY(w().RichEdit1->toPlainText().contains(QString::fromStdString(message)));
        QVERIFY(!w().RichEdit1->toPlainText().contains(QStringLiteral("complete")));
        QVERIFY(action("ToolRead")->isEnabled());
        // The programmer stays in its boot loader: the panel says so at once.
        QCOMPARE(w().Panel1->text(), QStringLiteral("Not connected"));
        QVERIFY(w().Panel1->isRed());
    }

    // A file that cannot be sent is refused before the programmer restarts, with the
    // reason; a file that can is asked about, and No sends nothing.
    void refusedFilesAndNo() {
        const auto pick = [&](int bytes) {
            const QString file = firmwareFile(bytes);
            hardware([&](TForm6 &) {
                m_dialogs->files = {file.toStdString()};
                QTest::mouseClick(info().BitBtn1, Qt::LeftButton);
            });
        };
        pick(0);
        pick(0x3000);
        pick(255 * 1024 + 1);
        QCOMPARE(m_dialogs->errors,
                 (std::vector<std::string>{
                     "The firmware file is empty; the programmer was not restarted.",
                     "The firmware file holds only 12288 bytes: the firmware sent starts at "
                     "offset 0x3000 (12288) of the file, so the file must be longer than that. "
                     "The programmer was not restarted.",
                     "The firmware file needs 256 pages of 1024 bytes; the boot loader takes at "
                     "most 255. The programmer was not restarted."}));
        QVERIFY(m_dialogs->questions.empty());
        m_dialogs->answers = {false};
        pick(255 * 1024);
        QCOMPARE(m_dialogs->defaultNoQuestions, 1);
        QCOMPARE(m_dialogs->questions.size(), std::size_t(1));
        QVERIFY(m_dialogs->questions[0].find(" (261120 bytes)?\nFirmware now: 1.02\n") !=
                std::string::npos);
        QCOMPARE(m_dialogs->errors.size(), std::size_t(3));
        QVERIFY(!m_sim->bootLoaderRequested());
        QVERIFY(m_sim->programmerPresent());
        QCOMPARE(m_sim->bootLoader().searches(), 1); // one look for an unfinished upgrade
        QVERIFY(!w().RichEdit1->toPlainText().contains(QStringLiteral("irmware")));
    }

    // Everything sent and no programmer back within about 10 s: a box says what to do,
    // the window stays live meanwhile, and nothing says complete.
    void aProgrammerThatDoesNotComeBack() {
        const int bytes = 0x3000 + 1000;
        const QString file = firmwareFile(bytes);
        m_sim->bootLoader().silentAfter = 3 + (bytes + 61) / 62; // LEAVE is not acted on
        m_dialogs->answers = {true};
        // Timer ticks the window handled after LEAVE went, while it looked for the
        // programmer.
        const std::size_t all = 4 + (bytes + 61) / 62;
        int looks = 0;
        QTimer look;
        connect(&look, &QTimer::timeout,
                [&] { looks += m_sim->bootLoader().reports().size() == all; });
        look.start(50);
        QElapsedTimer clock;
        clock.start();
        hardware([&](TForm6 &) {
            m_dialogs->files = {file.toStdString()};
            QTest::mouseClick(info().BitBtn1, Qt::LeftButton);
        });
        look.stop();
        QVERIFY(clock.elapsed() >= 10000);
        QVERIFY(looks > 10); // the window handled its timers while it looked
        const std::string message =
            "The firmware was sent, but the programmer did not come back. Unplug the "
            "programmer and plug it in again. If it still does not come back, run the firmware "
            "upgrade again: it finds a programmer that is still in its boot loader.";
        QCOMPARE(m_dialogs->errors, std::vector<std::string>{message});
        QVERIFY(w().RichEdit1->toPlainText().contains(QString::fromStdString(message)));
        QVERIFY(!w().RichEdit1->toPlainText().contains(QStringLiteral("complete")));
        QVERIFY(action("ToolRead")->isEnabled());
    }
};

QTEST_MAIN(HardwareWindowTest)
#include "HardwareWindowTest.moc"
