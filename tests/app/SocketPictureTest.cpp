#include "SocketPicture.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QSet>
#include <QTest>

// The socket pictures must really show: with no JPEG decoder, or a resource that is not a
// JPEG file, the main window would show an empty area instead, so these checks fail then.
class SocketPictureTest : public QObject {
    Q_OBJECT

private slots:
    void jpegDecoderIsAvailable() {
        QVERIFY2(jpegDecoderAvailable(),
                 "Qt's JPEG image plugin is missing (imageformats/libqjpeg.so)");
    }

    void resourcePaths() {
        QCOMPARE(socketPicturePath(SocketPicture::Empty), QStringLiteral(":/pictures/J0.jpg"));
        QCOMPARE(socketPicturePath(SocketPicture::Chip), QStringLiteral(":/pictures/J1.jpg"));
    }

    void resourcesAreJpegFiles_data() {
        QTest::addColumn<SocketPicture>("which");
        QTest::newRow("J0") << SocketPicture::Empty;
        QTest::newRow("J1") << SocketPicture::Chip;
    }
    void resourcesAreJpegFiles() {
        QFETCH(SocketPicture, which);
        QFile file(socketPicturePath(which));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.size() > 1024);
        QVERIFY(bytes.size() < 40 * 1024);
        QCOMPARE(bytes.left(3), QByteArray("\xFF\xD8\xFF", 3));
        QCOMPARE(bytes.right(2), QByteArray("\xFF\xD9", 2));
        QCOMPARE(QImageReader::imageFormat(file.fileName()), QByteArray("jpeg"));
    }

    void picturesDecodeAtTheirSize_data() { resourcesAreJpegFiles_data(); }
    void picturesDecodeAtTheirSize() {
        QFETCH(SocketPicture, which);
        const QPixmap picture = socketPicture(which);
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), QSize(360, 240));
        // The board is green and the background light grey: the colours came through.
        const QImage image = picture.toImage();
        const QColor board = image.pixelColor(60, 120);
        QVERIFY2(board.green() > board.red() + 40 && board.green() > board.blue() + 20,
                 qPrintable(board.name()));
        QVERIFY(qGray(image.pixel(4, 4)) > 230);
    }

    void picturesDiffer() {
        const QImage empty = socketPicture(SocketPicture::Empty).toImage();
        const QImage chip = socketPicture(SocketPicture::Chip).toImage();
        QVERIFY(!empty.isNull() && !chip.isNull());
        QCOMPARE(empty.size(), chip.size());
        // Count clearly different pixels, so that JPEG noise alone would not pass.
        int different = 0;
        for (int y = 0; y < empty.height(); ++y) {
            for (int x = 0; x < empty.width(); ++x) {
                const QRgb a = empty.pixel(x, y), b = chip.pixel(x, y);
                const int delta = qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) +
                                  qAbs(qBlue(a) - qBlue(b));
                if (delta > 48)
                    ++different;
            }
        }
        QVERIFY2(different > empty.width() * empty.height() / 50,
                 qPrintable(QString::number(different)));
        // Outside the socket the two are the same board.
        QCOMPARE(empty.pixelColor(60, 120).green() / 8, chip.pixelColor(60, 120).green() / 8);
    }

    void stretchedInALabelShowsThePicture() {
        // As in the main window: a label that stretches its pixmap to its own size.
        QLabel label;
        label.setScaledContents(true);
        label.setPixmap(socketPicture(SocketPicture::Chip));
        label.resize(180, 120);
        const QImage shown = label.grab().toImage();
        QCOMPARE(shown.size(), QSize(180, 120));
        QSet<QRgb> colours;
        for (int y = 0; y < shown.height(); y += 3)
            for (int x = 0; x < shown.width(); x += 3)
                colours.insert(shown.pixel(x, y) & 0xF0F0F0);
        QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));
        const QColor board = shown.pixelColor(30, 60);
        QVERIFY2(board.green() > board.red() + 40, qPrintable(board.name()));
    }
};

QTEST_MAIN(SocketPictureTest)
#include "SocketPictureTest.moc"
