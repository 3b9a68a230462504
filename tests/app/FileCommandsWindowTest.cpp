// Open, Save, dropped files and the buffer checksum through the real main window.
#include "HexView.h"
#include "Modal.h"
#include "RecordingDialogs.h"
#include "Unit1.h"
#include "Unit4.h"
#include "base/RegularFile.h"
#include "buffers/Checksum.h"
#include "buffers/PipeUnblocker.h"
#include "catalogue/Catalogue.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <sys/stat.h>

using namespace korvat;

namespace {

constexpr std::uint32_t kCapacity = 0x10000;

} // namespace

class FileCommandsWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<TForm1> m_w;

    QString base() const { return m_dir.path() + QStringLiteral("/korvat"); }
    TForm1 &w() { return *m_w; }
    void start(Dialogs *dialogs) {
        m_w = std::make_unique<TForm1>(base(), UsbApi::unavailable(), dialogs);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
    }
    void trigger(const char *action) {
        w().findChild<QAction *>(QString::fromLatin1(action))->trigger();
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString file(const QString &name, const QByteArray &contents) const {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly);
        f.write(contents);
        return f.fileName();
    }
    // Opens the file through the toolbar, the dialog answering with it.
    void open(const QString &p) {
        m_dialogs->files.push_back(p.toStdString());
        trigger("ToolOpen");
    }
    void save(const QString &p) {
        m_dialogs->files.push_back(p.toStdString());
        trigger("S1");
    }
    QString firstLogLine() { return w().RichEdit1->toPlainText().section(QLatin1Char('\n'), 0, 0); }
    QString checksumPanel() { return w().StatusPanels[3]->text(); }
    // The panel's figure for the chip's whole image: these bytes, then erased ones.
    static QString imageSum(const QByteArray &head = {}, std::uint32_t capacity = kCapacity) {
        std::vector<std::uint8_t> image(capacity, 0xFF);
        std::copy(head.begin(), head.end(), image.begin());
        return QStringLiteral("CRC32 %1").arg(crc32Of(image), 8, 16, QLatin1Char('0')).toUpper();
    }
    // The log line of a save: file, format, bytes and the image's CRC-32 (as the panel shows it).
    QString savedLine(const char *name, const char *format, const QString &panelSum) {
        return QStringLiteral("Saved %1 (%2, %3 bytes, CRC-32 %4)")
            .arg(path(QString::fromLatin1(name)), QLatin1String(format))
            .arg(kCapacity)
            .arg(panelSum.mid(6));
    }
    std::int32_t loaded() { return w().buffers().loadedLength; }
    std::uint8_t flash(std::size_t at) { return w().buffers().flash()[at]; }
    void clickTab(QWidget *page) {
        QTabBar *bar = w().PageControl1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->tabRect(w().PageControl1->indexOf(page)).center());
        QCOMPARE(w().PageControl1->currentWidget(), page);
    }
    // A drag from a file manager, delivered to the window the way the platform does.
    bool drop(const QList<QUrl> &urls, QWidget *onto = nullptr) {
        QMimeData data;
        data.setUrls(urls);
        data.setText(urls.isEmpty() ? QString() : urls[0].toString()); // as file managers do
        QWindow *window = w().windowHandle();
        if (!onto)
            onto = w().FlashEditor;
        const QPoint at = onto->mapTo(&w(), onto->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window, &move);
        if (!move.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window, &dropped);
        return dropped.isAccepted();
    }

private slots:
    void initTestCase() {
        auto row = [](std::string type, std::string model, std::string capacity, std::string eeprom,
                      std::string association) {
            return GridRow{
                type, "Maker", model, "0x1",  capacity, "256",      type == "SPI" ? "0" : "4",
                "0",  "100",   "0",   eeprom, "4",      association};
        };
        Catalogue cat;
        QVERIFY(cat.save({row("SPI", "Small", std::to_string(kCapacity), "0", "0"),
                          row("AVR", "Mega", "8192", "512", "1")},
                         (base() + ".Dat").toStdString())
                    .outcome == CatalogueOutcome::Written);
    }

    void init() {
        QFile::remove(base() + ".ini");
        QSettings(base() + ".ini", QSettings::IniFormat).setValue("DEVICE/LANGU", 2);
        m_dialogs = std::make_unique<RecordingDialogs>();
        start(m_dialogs.get());
    }

    void cleanup() { m_w.reset(); }

    void openLoadsTheFlashTabAndLogs() {
        trigger("O2"); // cancelled
        QCOMPARE(m_dialogs->choices.size(), std::size_t(1));
        QCOMPARE(m_dialogs->choices[0].filters, openFilters(2));
        QVERIFY(w().RichEdit1->toPlainText().isEmpty());
        QCOMPARE(checksumPanel(), imageSum()); // nothing loaded: an erased image

        const QString p = file("image.bin", QByteArray(0x80, 'x'));
        open(p);
        QCOMPARE(loaded(), 0x80);
        QCOMPARE(w().FlashEditor->dataSize(), std::size_t(kCapacity));
        QCOMPARE(w().FlashEditor->bytes()[0x7F], std::uint8_t('x'));
        QVERIFY(firstLogLine().endsWith(QStringLiteral(" Open") + p));
        // The whole image: the file's bytes and the erased rest, as a save writes it.
        QCOMPARE(checksumPanel(), imageSum(QByteArray(0x80, 'x')));
        QCOMPARE(w().StatusPanels[3]->toolTip(),
                 QStringLiteral("CRC-32 of the chip's whole image: FLASH buffer bytes 0 to FFFFh"));
        QVERIFY(m_dialogs->errors.empty());

        // Choosing a chip empties the buffer, and the checksum is an erased image's.
        w().selectChip(0, 0, 0);
        QCOMPARE(checksumPanel(), imageSum());
    }

    void everyFormatLoadsByItsName() {
        const QByteArray hex = ":0100000041BE\n:00000001FF\n";
        const QByteArray srec = "S104000042B9\nS9030000FC\n";
        QByteArray capsule(2048, 'H');
        for (int i = 0; i < 100; ++i)
            capsule += char(i + 1);
        const struct {
            const char *name;
            QByteArray contents;
            std::uint8_t first;
            int length;
        } cases[] = {
            {"IMAGE.BIN", hex, ':', 26},   {"image.Bin", hex, ':', 26},
            {"image", hex, ':', 26},       {"image.rom", hex, ':', 26},
            {"image.src", srec, 0x42, 1},  {"image.HEX", hex, 0x41, 1},
            {"image.ihex", hex, 0x41, 1},  {"image.ihx", hex, 0x41, 1},
            {"image.s19", srec, 0x42, 1},  {"image.S28", srec, 0x42, 1},
            {"image.s37", srec, 0x42, 1},  {"image.srec", srec, 0x42, 1},
            {"image.mot", srec, 0x42, 1},  {"hex.eep", hex, 0x41, 1},
            {"srec.eep", srec, 0x42, 1},   {"raw.eep", "raw", 'r', 3},
            {"hex.src", hex, 0x41, 1},     {"raw.src", "raw", 'r', 3},
            {"bios.cap", capsule, 1, 100},
        };
        for (const auto &c : cases) {
            w().selectChip(0, 0, 0);
            open(file(QString::fromLatin1(c.name), c.contents));
            QVERIFY2(flash(0) == c.first, c.name);
            QVERIFY2(loaded() == c.length, c.name);
        }
        QCOMPARE(flash(99), std::uint8_t(100)); // the capsule's last byte
        QVERIFY(m_dialogs->errors.empty());
    }

    // Saved in three formats, the image loads back to the same checksum.
    void everyFormatSavesByItsName() {
        QByteArray image(kCapacity, 0);
        for (std::uint32_t i = 0; i < kCapacity; ++i)
            image[i] = char(i * 7 + (i >> 8));
        open(file("image.bin", image));
        const QString sum = checksumPanel();
        QCOMPARE(sum, imageSum(image));

        trigger("ToolSave"); // cancelled
        QCOMPARE(m_dialogs->choices.back().filters, nameFilters(kSaveFilter));
        QCOMPARE(m_dialogs->choices.back().defaultSuffix, std::string("hex"));
        for (const char *name : {"out.bin", "out.rom", "out.cap", "out.eep", "out"}) {
            save(path(QString::fromLatin1(name)));
            QFile f(path(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY2(f.readAll() == image, name);
            QVERIFY(firstLogLine().endsWith(savedLine(name, "binary", sum)));
        }
        for (const char *name : {"out.hex", "out.ihex", "out.ihx", "out.src", "out.s19", "out.s28",
                                 "out.s37", "out.srec", "out.mot"}) {
            save(path(QString::fromLatin1(name)));
            QFile f(path(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray start = f.read(2);
            const bool sRecord =
                QByteArray(name).contains(".s") || QByteArray(name).endsWith("mot");
            QVERIFY2(start == (sRecord ? "S0" : ":2"), name);
            QVERIFY(firstLogLine().endsWith(savedLine(name, sRecord ? "S-record" : "Intel HEX", sum)));
        }
        for (const char *name : {"out.bin", "out.hex", "out.s19"}) {
            w().selectChip(0, 0, 0);
            QCOMPARE(checksumPanel(), imageSum());
            open(path(QString::fromLatin1(name)));
            QVERIFY2(checksumPanel() == sum, name);
        }
        QVERIFY(m_dialogs->questions.empty());

        // An existing file and No: nothing is written.
        m_dialogs->answers = {false};
        const QString old = file("old.hex", "old");
        save(old);
        QCOMPARE(m_dialogs->questions.size(), std::size_t(1));
        QFile f(old);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
        QVERIFY(!firstLogLine().contains(QStringLiteral("old.hex")));
    }

    void fileLongerThanTheChipAsks() {
        open(file("first.bin", "first"));
        const QString line = firstLogLine(), sum = checksumPanel();
        const QString big = file("big.bin", QByteArray(0x20000, 'b'));
        m_dialogs->answers = {false};
        open(big);
        QCOMPARE(m_dialogs->questions,
                 std::vector<std::string>{"File length is larger than chip capacity. Do you want "
                                          "to continue to transfer files?"});
        QCOMPARE(loaded(), 5);
        QCOMPARE(w().FlashEditor->bytes()[5], std::uint8_t(0xFF));
        QCOMPARE(flash(5), std::uint8_t(0xFF));
        QCOMPARE(firstLogLine(), line);
        QCOMPARE(checksumPanel(), sum);

        m_dialogs->answers = {true};
        open(big);
        QCOMPARE(loaded(), int(kCapacity));
        QCOMPARE(w().FlashEditor->dataSize(), std::size_t(kCapacity));
        QCOMPARE(w().FlashEditor->bytes()[kCapacity - 1], std::uint8_t('b'));
    }

    void addressRangePlacesTheFile() {
        QTest::mouseClick(w().CheckBox5, Qt::LeftButton);
        w().Edit3->clear();
        QTest::keyClicks(w().Edit3, "100");
        open(file("part.bin", QByteArray(0x80, 'p')));
        QCOMPARE(loaded(), 0x180);
        QCOMPARE(w().FlashEditor->bytes()[0xFF], std::uint8_t(0xFF));
        QCOMPARE(w().FlashEditor->bytes()[0x100], std::uint8_t('p'));
        QCOMPARE(w().FlashEditor->bytes()[0x17F], std::uint8_t('p'));
        QCOMPARE(w().FlashEditor->bytes()[0x180], std::uint8_t(0xFF));
    }

    // A file leaves nothing of the one before it where it replaces it: the whole buffer,
    // or the range ticked, where an Intel HEX file still lands at its own addresses.
    void laterFilesReplaceEarlierOnes() {
        open(file("big.bin", QByteArray(0x10000, 'a')));
        open(file("small.bin", QByteArray(1001, 'b')));
        QCOMPARE(loaded(), 1001);
        QCOMPARE(w().FlashEditor->bytes()[1001], std::uint8_t(0xFF));

        QTest::mouseClick(w().CheckBox5, Qt::LeftButton);
        w().Edit3->clear();
        QTest::keyClicks(w().Edit3, "200");
        w().Edit4->clear();
        QTest::keyClicks(w().Edit4, "9FFF");
        open(file("high.hex", ":028000004142FB\n:00000001FF\n"));
        QCOMPARE(loaded(), 0x8002);
        QCOMPARE(w().FlashEditor->bytes()[0x8000], std::uint8_t('A'));
        QCOMPARE(flash(0x1FF), std::uint8_t('b'));  // before the range: kept
        QCOMPARE(flash(0x200), std::uint8_t(0xFF)); // in it: erased
    }

    // A failed Open leaves the image the window holds: a pipe is refused at once with its
    // box, and a raw file whose reading ends short of its size changes neither the
    // buffer nor the view, the loaded length, the checksum or the log.
    void failedOpenKeepsTheImage() {
        open(file("image.bin", QByteArray(0x8000, 'i')));
        const QString log = w().RichEdit1->toPlainText(), sum = checksumPanel();
        const QString pipe = path("pipe.bin");
        QVERIFY(mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
        QString shortFile = path("short.bin"); // the kernel states a page, yields a few bytes
        QVERIFY(QFile::link(QStringLiteral("/sys/devices/system/cpu/online"), shortFile));
        const korvat::test::PipeUnblocker unblocker({pipe.toStdString()});
        QElapsedTimer clock;
        clock.start();
        open(pipe);
        QVERIFY(clock.elapsed() < 1000);
        open(shortFile);
        QCOMPARE(m_dialogs->errors,
                 (std::vector<std::string>{notRegularFileText(pipe.toStdString(), 2),
                                           "File Read Operation Failed"}));
        QCOMPARE(loaded(), 0x8000);
        QCOMPARE(flash(0x7FFF), std::uint8_t('i'));
        QCOMPARE(flash(0x8000), std::uint8_t(0xFF));
        QCOMPARE(w().FlashEditor->bytes()[0], std::uint8_t('i'));
        QCOMPARE(checksumPanel(), sum);
        QCOMPARE(w().RichEdit1->toPlainText(), log);
    }

    void eepromAndConfigTabs() {
        w().selectChip(1, 0, 0);
        for (std::size_t i = 0; i < 8192; ++i)
            w().buffers().eeprom()[i] = 0x11;
        clickTab(w().TabSheet2);
        const QString data = file("data.bin", QByteArray(0x300, 'e'));
        m_dialogs->answers = {true};
        open(data);
        QCOMPARE(m_dialogs->questions.size(), std::size_t(1)); // 0x300 > 512 bytes
        QCOMPARE(w().EepromEditor->dataSize(), std::size_t(512));
        QCOMPARE(w().EepromEditor->bytes()[511], std::uint8_t('e'));
        QCOMPARE(w().buffers().eeprom()[0x2FF], std::uint8_t('e'));
        QCOMPARE(w().buffers().eeprom()[0x300], std::uint8_t(0xFF));
        QCOMPARE(loaded(), 0);
        QCOMPARE(checksumPanel(), imageSum({}, w().catalogue().slot(w().currentChip()).capacity));

        clickTab(w().TabSheet3);
        const QString cfg = file("cfg.bin", "cfg");
        open(cfg);
        QCOMPARE(flash(0), std::uint8_t(0xFF));
        QCOMPARE(w().buffers().eeprom()[0], std::uint8_t('e'));
        QVERIFY(firstLogLine().endsWith(QStringLiteral(" Open") + cfg));
    }

    void droppedFilesOpenLikeOpen() {
        QVERIFY(!drop({QUrl(QStringLiteral("https://example.org/image.bin"))}));
        QVERIFY(!drop({QUrl::fromLocalFile(m_dir.path())})); // a folder is no file to open
        const QString a = file("a.bin", "aaaa"), b = file("b.hex", ":0100000041BE\n:00000001FF\n");
        QVERIFY(drop({QUrl::fromLocalFile(a)}));
        QTRY_COMPARE(loaded(), 4);
        QVERIFY(firstLogLine().endsWith(QStringLiteral(" Open") + a));
        QCOMPARE(checksumPanel(), imageSum("aaaa"));

        QVERIFY(drop({QUrl::fromLocalFile(b), QUrl::fromLocalFile(a)}));
        QTRY_COMPARE(loaded(), 1);
        QVERIFY(firstLogLine().endsWith(
            QStringLiteral(" 2 files were dropped; only the first was opened.")));
        QVERIFY(w().RichEdit1->toPlainText().section(QLatin1Char('\n'), 1, 1).endsWith(b));
        QVERIFY(m_dialogs->choices.empty()); // no dialog

        // Onto the start address edit, the range ticked: the file lands at the start.
        QTest::mouseClick(w().CheckBox5, Qt::LeftButton);
        w().Edit3->setText(QStringLiteral("10"));
        QVERIFY(drop({QUrl::fromLocalFile(a)}, w().Edit3));
        QTRY_COMPARE(loaded(), 0x14);
        QCOMPARE(w().Edit3->text(), QStringLiteral("10"));
        QCOMPARE(flash(0x10), std::uint8_t('a'));
    }

    void checksumFollowsTheFill() {
        bool filled = false;
        QTimer::singleShot(0, &w(), [&] {
            TForm4 *fill = w().fillWindow();
            fill->Edit3->setText(QStringLiteral("0"));
            fill->Edit4->setText(QStringLiteral("7F"));
            fill->Edit1->setText(QStringLiteral("78"));
            QTest::mouseClick(fill->BitBtn1, Qt::LeftButton);
            // Seen while the window is still open.
            filled = checksumPanel() == imageSum(QByteArray(0x80, 'x'));
            fill->reject();
        });
        w().ToolFillClick();
        QVERIFY(filled);
    }

    void lastFolderIsRemembered() {
        QDir(m_dir.path()).mkdir(QStringLiteral("images"));
        const QString folder = path(QStringLiteral("images"));
        open(file(QStringLiteral("images/a.bin"), "a"));
        QVERIFY(w().close());
        QCOMPARE(QSettings(base() + ".ini", QSettings::IniFormat)
                     .value(QStringLiteral("Environment/LastFolder"))
                     .toString(),
                 folder);
        start(m_dialogs.get());
        trigger("ToolSave");
        QCOMPARE(m_dialogs->choices.back().folder, folder.toStdString());

        // A folder that is gone: the home folder instead.
        QDir(folder).removeRecursively();
        const bool hadHome = qEnvironmentVariableIsSet("HOME");
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", m_dir.path().toLocal8Bit());
        trigger("ToolOpen");
        hadHome ? qputenv("HOME", home) : qunsetenv("HOME");
        QCOMPARE(m_dialogs->choices.back().folder, m_dir.path().toStdString());
    }

    // The platform's own dialog and message box, as a person uses them.
    void realDialogsOpenAndSave() {
        m_w.reset();
        start(nullptr);
        const QString p = file("real.bin", QByteArray(0x40, 'r'));
        whenModal<QFileDialog>([&](QFileDialog *dialog) {
            QCOMPARE(dialog->selectedNameFilter(), dialog->nameFilters().first());
            QVERIFY(dialog->selectedNameFilter().startsWith("All supported files (*.bin *.rom"));
            QCOMPARE(dialog->nameFilters().at(1), QStringLiteral("Binary (*.bin)"));
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
            typeFileName(dialog, p);
        });
        trigger("ToolOpen");
        QCOMPARE(loaded(), 0x40);

        // A name typed without an extension gets ".hex"; the dialog asks nothing.
        whenModal<QFileDialog>([&](QFileDialog *dialog) {
            QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
            QCOMPARE(dialog->directory().absolutePath(), m_dir.path());
            typeFileName(dialog, path(QStringLiteral("typed")));
        });
        trigger("ToolSave");
        QFile typed(path(QStringLiteral("typed.hex")));
        QVERIFY(typed.open(QIODevice::ReadOnly));
        QVERIFY(typed.readAll().startsWith(":2000000072727272"));

        // Saving over it: the question comes from the save, and No keeps the file.
        typed.close();
        const QByteArray before = [&] {
            typed.open(QIODevice::ReadOnly);
            return typed.readAll();
        }();
        QString asked;
        whenModal<QFileDialog>([&](QFileDialog *dialog) {
            whenModal<QMessageBox>([&](QMessageBox *box) {
                asked = box->windowTitle() + QLatin1Char('|') + box->text();
                box->button(QMessageBox::No)->click();
            });
            typeFileName(dialog, typed.fileName());
        });
        trigger("ToolSave");
        QCOMPARE(asked, QStringLiteral("Info|File already exists. Is it covered? "));
        typed.close();
        QVERIFY(typed.open(QIODevice::ReadOnly));
        QCOMPARE(typed.readAll(), before);
    }
};

QTEST_MAIN(FileCommandsWindowTest)
#include "FileCommandsWindowTest.moc"
