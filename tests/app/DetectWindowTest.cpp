// The Detect button through the real main window, against the simulated programmer.
#include "HexView.h"
#include "SocketPicture.h"
#include "Unit4.h"
#include "WindowFill.h"
#include "WindowFixture.h"
#include "catalogue/Catalogue.h"

#include <QComboBox>
#include <QPushButton>

using namespace korvat;

class DetectWindowTest : public QObject, WindowFixture {
    Q_OBJECT

    void socket(ksim::Chip chip) { m_sim->programmer().insert(std::move(chip)); }
    QImage picture() const { return m_w->Image1->pixmap().toImage(); }
    static QImage shown(SocketPicture which) { return socketPicture(which).toImage(); }
    QString lists() {
        return w().ComboBox1->currentText() + QLatin1Char('/') + w().ComboBox2->currentText() +
               QLatin1Char('/') + w().ComboBox3->currentText();
    }

private slots:
    void initTestCase() {
        auto row = [](std::string type, std::string maker, std::string model, std::string id) {
            return GridRow{type, maker, model, id,  "1048576", "256", "0",
                           "0",  "100", "0",   "0", "0",       "0"};
        };
        Catalogue cat;
        QVERIFY(cat.save({row("25_SPI_FLASH", "Winbond", "W25Q80", "0xEF4014"),
                          row("24_EEPROM", "Atmel", "AT24C02", "0"),
                          row("93_EEPROM", "Atmel", "AT93C46", "0"),
                          row("25_SPI_FLASH", "GigaDevice", "GD25Q80", "0xC84014"),
                          row("25_SPI_FLASH", "GigaDevice", "GD25Q80E", "0xC84014")},
                         (base() + ".Dat").toStdString())
                    .outcome == CatalogueOutcome::Written);
    }

    void init() {
        prepare();
        QVERIFY(startWindow(m_dialogs.get()));
        QVERIFY(w().BitBtn1->isEnabled());
        w().RichEdit1->clear();
    }

    void cleanup() { finish(); }

    void chipWithAnIdIsSelectedAndShown() {
        socket(ksim::Chip(ksim::Family::Spi25, 0xC84014, 1u << 20));
        w().buffers().loadedLength = 0x10;
        QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        QCOMPARE(lists(), QStringLiteral("25_SPI_FLASH/GigaDevice/GD25Q80"));
        QCOMPARE(w().savedPositions(), (std::array<int, 3>{0, 1, 0})); // kept at close
        QCOMPARE(m_dialogs->information,
                 std::vector<std::string>{"The chip was detected:GD25Q80\n\n Chip type25_SPI_FLASH"
                                          "\nAlso matches (ID C8 40 14): GigaDevice GD25Q80E"});
        QVERIFY(m_dialogs->errors.empty());
        QCOMPARE(picture(), shown(SocketPicture::Chip));
        // Selecting the chip reset the buffers as any selection does; the log is untouched.
        QCOMPARE(w().buffers().loadedLength, 0);
        QVERIFY(w().RichEdit1->toPlainText().isEmpty());
    }

    // Detection does not touch the buffers: ending on the chip already selected keeps what
    // was loaded, and so does a chip without an ID whose type is already shown.
    void detectingTheChipSelectedKeepsTheBuffers() {
        socket(ksim::Chip(ksim::Family::Spi25, 0xEF4014, 1u << 20));
        QCOMPARE(lists(), QStringLiteral("25_SPI_FLASH/Winbond/W25Q80"));
        fillThroughWindow(w(), "A5", "0", "FF");
        QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        QCOMPARE(m_dialogs->information.size(), std::size_t{1});
        QCOMPARE(lists(), QStringLiteral("25_SPI_FLASH/Winbond/W25Q80"));
        QCOMPARE(w().buffers().loadedLength, 0x100);
        QCOMPARE(w().buffers().flash()[0xFF], std::uint8_t{0xA5});
        QCOMPARE(w().FlashEditor->bytes()[0xFF], std::uint8_t{0xA5});

        socket(ksim::Chip(ksim::Family::I2c24, 0, 256)); // type code 2: 24_EEPROM
        QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        QCOMPARE(lists(), QStringLiteral("24_EEPROM/Atmel/AT24C02"));
        QCOMPARE(w().buffers().loadedLength, 0); // another chip: the buffers start afresh
        fillThroughWindow(w(), "5A", "0", "F");
        QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        QCOMPARE(w().buffers().loadedLength, 0x10);
        QCOMPARE(w().buffers().flash()[0xF], std::uint8_t{0x5A});
    }

    void typeOnlyChipsAndAnEmptySocket() {
        socket(ksim::Chip(ksim::Family::Microwire93, 0, 128)); // answers type code 3
        QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        QCOMPARE(w().ComboBox1->currentText(), QStringLiteral("93_EEPROM"));
        QCOMPARE(picture(), shown(SocketPicture::Chip));
        QVERIFY(m_dialogs->information.back().starts_with("Chip type is detected:93_EEPROM"));

        socket(ksim::Chip());
        QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        QCOMPARE(m_dialogs->errors,
                 std::vector<std::string>{"No chips detected, please put the chip to try again!"});
        QCOMPARE(picture(), shown(SocketPicture::Empty));
        QCOMPARE(w().ComboBox1->currentText(), QStringLiteral("93_EEPROM"));
    }

    void unknownIdAndNoProgrammer() {
        socket(ksim::Chip(ksim::Family::Spi25, 0x123456, 1u << 20));
        const QImage before = picture();
        QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        QCOMPARE(m_dialogs->errors,
                 std::vector<std::string>{
                     "Unknown chip ID =12 34 56Please choose the compatibility type manually."});
        QCOMPARE(picture(), before);
        QCOMPARE(lists(), QStringLiteral("25_SPI_FLASH/Winbond/W25Q80"));

        m_sim->unplug();
        QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        QCOMPARE(m_dialogs->errors.back(), std::string("Not connected"));
    }

    // No reply to the question is a failed link, not an empty socket.
    void aFailedExchangeIsNotAnEmptySocket() {
        socket(ksim::Chip(ksim::Family::Spi25, 0xEF4014, 1u << 20));
        m_sim->faults.timeoutAtTransfer = m_sim->transferCount() + 2;
        const QImage before = picture();
        QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        QCOMPARE(m_dialogs->errors, std::vector<std::string>{"Transfer to the programmer failed "
                                                             "while reading the chip ID."});
        QCOMPARE(picture(), before);
    }

    // A programmer the user may not open: probes turn the panel red and log it once while
    // they keep finding it so, in the window's language; Detect and the commands say what
    // gives access, and touch nothing.
    void aProgrammerWithoutPermissionIsLoggedOnceAndNamedInTheErrors() {
        const std::string noAccess =
            "The programmer is attached but cannot be opened: no permission. The udev rule "
            "70-korvat.rules gives access to the user at the seat and to the plugdev group "
            "(sudo usermod -aG plugdev USER, then log in again).";
        m_sim->setAccess(ksim::Access::Denied);
        w().WMDeviceChange();
        w().WMDeviceChange();
        QCOMPARE(w().Panel1->text(), QStringLiteral("Not connected"));
        QCOMPARE(log().size(), 1);
        QVERIFY(log()[0].endsWith(QLatin1Char(' ') + QString::fromStdString(noAccess)));
        QTest::mouseClick(w().BitBtn1, Qt::LeftButton);
        w().buffers().loadedLength = 0x10;
        trigger("ToolWrite");
        QCOMPARE(m_dialogs->errors, (std::vector<std::string>{noAccess, noAccess}));
        QCOMPARE(m_sim->chip().memory()[0], std::uint8_t{0xFF}); // nothing was written

        m_sim->setAccess(ksim::Access::Granted);
        w().WMDeviceChange();
        QCOMPARE(w().Panel1->text(), QStringLiteral("Connected"));
        trigger("China");
        m_sim->setAccess(ksim::Access::ReadOnly); // it opens, but nothing may be asked
        w().WMDeviceChange();
        w().WMDeviceChange();
        QCOMPARE(log().filter(QStringLiteral("编程器已接入，但没有权限打开它。")).size(), 1);
        QVERIFY(log()[0].contains(QStringLiteral("plugdev")));
    }
};

QTEST_MAIN(DetectWindowTest)
#include "DetectWindowTest.moc"
